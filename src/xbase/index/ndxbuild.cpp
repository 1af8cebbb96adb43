// Building an index file: every record's key is made, the keys are sorted
// in runs (written to a work file when there is more than one), the runs
// are merged, and the B-tree is laid out bottom up, one node per level in
// memory.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <queue>

#include "platform/files.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/dbf/locking.h"
#include "xbase/index/ndx_internal.h"
#include "xbase/index/ndxkeys.h"
#include "xbase/expr/parser.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase {

namespace {

// Memory of one sorted run: items and their sort entries.
constexpr std::size_t kRunBudgetBytes = std::size_t{64} << 20;
constexpr std::size_t kReadBlockBytes = 1 << 16;
constexpr std::size_t kNodeBufferNodes = 128;
constexpr std::size_t kRunBufferBytes = 1 << 16;

// Keys are sorted as "sortable bytes": the key (a numeric key as an
// order-preserving big-endian integer) followed by the record number
// big-endian, so that bytewise order is the order by key, then record.
void SortableFromKey(bool numeric, const std::string& key, std::uint32_t rec, std::uint8_t* out, int k) {
  if (numeric) {
    std::uint64_t bits;
    std::memcpy(&bits, key.data(), 8);
    if (bits & 0x8000000000000000ULL)
      bits = ~bits;
    else
      bits |= 0x8000000000000000ULL;
    for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  } else {
    std::memcpy(out, key.data(), static_cast<std::size_t>(k));
  }
  out[k + 0] = static_cast<std::uint8_t>(rec >> 24);
  out[k + 1] = static_cast<std::uint8_t>(rec >> 16);
  out[k + 2] = static_cast<std::uint8_t>(rec >> 8);
  out[k + 3] = static_cast<std::uint8_t>(rec);
}

void KeyFromSortable(bool numeric, const std::uint8_t* s, int k, std::uint8_t* key, std::uint32_t& rec) {
  if (numeric) {
    std::uint64_t bits;
    std::memcpy(&bits, s, 8);
    bits = __builtin_bswap64(bits);
    if (bits & 0x8000000000000000ULL)
      bits &= ~0x8000000000000000ULL;
    else
      bits = ~bits;
    std::memcpy(key, &bits, 8);
  } else {
    std::memcpy(key, s, static_cast<std::size_t>(k));
  }
  rec = (static_cast<std::uint32_t>(s[k]) << 24) | (static_cast<std::uint32_t>(s[k + 1]) << 16) |
        (static_cast<std::uint32_t>(s[k + 2]) << 8) | s[k + 3];
}

// One sorted run in memory: items of size s, sorted through an array of
// (first 8 bytes big-endian, item index).
class Run {
 public:
  explicit Run(int s) : s_(static_cast<std::size_t>(s)), inEntry_(s_ <= 12) {}
  void Reserve(std::size_t items) {
    order_.reserve(items);
    if (!inEntry_) bytes_.reserve(items * s_);
  }
  // The sortable bytes of record rec; records come in ascending order.
  void Add(const std::uint8_t* item, std::uint32_t rec) {
    if (order_.empty()) first_ = rec;
    std::uint64_t pre = 0;
    for (std::size_t j = 0; j < 8; ++j) pre = (pre << 8) | (j < s_ ? item[j] : 0);
    order_.push_back({pre, static_cast<std::uint32_t>(order_.size())});
    if (!inEntry_) {
      const std::size_t at = bytes_.size();
      bytes_.resize(at + s_);
      std::memcpy(bytes_.data() + at, item, s_);
    }
  }
  std::size_t Count() const { return order_.size(); }
  void Clear() {
    bytes_.clear();
    order_.clear();
  }
  // Items arrive in record order, so a stable sort on the first 8 bytes
  // orders keys of up to 8 bytes by key, then record; longer keys are put
  // in order within each group of equal first bytes.
  void Sort() {
    RadixSort();
    if (inEntry_) return;
    const std::size_t n = order_.size();
    const std::uint8_t* base = bytes_.data();
    const std::size_t s = s_;
    for (std::size_t i = 0; i < n;) {
      std::size_t j = i + 1;
      while (j < n && order_[j].pre == order_[i].pre) ++j;
      if (j - i > 1)
        std::sort(order_.begin() + static_cast<std::ptrdiff_t>(i), order_.begin() + static_cast<std::ptrdiff_t>(j),
                  [base, s](const Entry& a, const Entry& b) {
                    return std::memcmp(base + a.idx * s + 8, base + b.idx * s + 8, s - 8) < 0;
                  });
      i = j;
    }
  }
  // The sortable bytes of the i-th item in sorted order. Items of up to 12
  // bytes are rebuilt from the sort entry: the key lies in its first bytes,
  // the record follows from the item's place in the run.
  void Item(std::size_t i, std::uint8_t* out) const {
    const Entry& e = order_[i];
    if (!inEntry_) {
      std::memcpy(out, bytes_.data() + e.idx * s_, s_);
      return;
    }
    const std::size_t k = s_ - 4;
    for (std::size_t j = 0; j < k; ++j) out[j] = static_cast<std::uint8_t>(e.pre >> (56 - 8 * j));
    const std::uint32_t rec = first_ + e.idx;
    out[k] = static_cast<std::uint8_t>(rec >> 24);
    out[k + 1] = static_cast<std::uint8_t>(rec >> 16);
    out[k + 2] = static_cast<std::uint8_t>(rec >> 8);
    out[k + 3] = static_cast<std::uint8_t>(rec);
  }

 private:
  struct Entry {
    std::uint64_t pre;
    std::uint32_t idx;
  };

  // Stable LSD radix sort on pre, one byte per pass: the counts of all
  // bytes in one sweep; passes where every entry has the same byte skipped.
  void RadixSort() {
    const std::size_t n = order_.size();
    if (n < 2) return;
    static thread_local std::vector<std::array<std::size_t, 256>> counts;
    counts.assign(8, {});
    for (std::size_t i = 0; i < n; ++i) {
      std::uint64_t p = order_[i].pre;
      for (int b = 0; b < 8; ++b) ++counts[static_cast<std::size_t>(b)][(p >> (8 * b)) & 0xFF];
    }
    tmp_.resize(n);
    Entry* src = order_.data();
    Entry* dst = tmp_.data();
    for (int b = 0; b < 8; ++b) {
      auto& count = counts[static_cast<std::size_t>(b)];
      const int shift = 8 * b;
      if (count[(src[0].pre >> shift) & 0xFF] == n) continue;
      std::size_t sum = 0;
      for (std::size_t& c : count) {
        std::size_t v = c;
        c = sum;
        sum += v;
      }
      for (std::size_t i = 0; i < n; ++i) dst[count[(src[i].pre >> shift) & 0xFF]++] = src[i];
      std::swap(src, dst);
    }
    if (src != order_.data()) std::memcpy(order_.data(), src, n * sizeof(Entry));
  }

  std::size_t s_;
  bool inEntry_;
  std::uint32_t first_ = 0;
  std::vector<std::uint8_t> bytes_;
  std::vector<Entry> order_;
  std::vector<Entry> tmp_;
};

// The work file of the runs: unlinked at once, closed at the end.
struct WorkFile {
  FileHandle file;
  std::vector<std::int64_t> runStart;  // byte offset of each run, plus the end
  ~WorkFile() = default;
};

// Calls the progress routine exactly steps times over a pass.
class Progress {
 public:
  Progress(std::int32_t records) {
    NdxUnit& u = Ndx();
    routine_ = u.progress;
    steps_ = routine_ ? u.progressSteps : 0;
    if (steps_ > 0) every_ = std::max<std::int64_t>(2, 2 * (records / steps_));
  }
  void Tick() {
    if (steps_ <= 0) return;
    if (++count_ % every_ == 0 && calls_ < steps_) Call();
  }
  void Finish() {
    while (calls_ < steps_) Call();
  }

 private:
  void Call() {
    ++calls_;
    routine_();
  }
  std::function<void()> routine_;
  int steps_ = 0;
  std::int64_t every_ = 2;
  std::int64_t count_ = 0;
  int calls_ = 0;
};

// Lays the tree out bottom up as the items arrive in order.
class TreeBuilder {
 public:
  TreeBuilder(const IndexControl& ic, int fd) : fd_(fd) {
    item_ = ic.ItemSize();
    kpn_ = ic.KeysPerNode();
    k_ = ic.KeyLen();
    levels_.emplace_back();
  }

  bool Add(const std::uint8_t* key, std::uint32_t rec) {
    if (NodeCount(levels_[0].data()) == kpn_) {
      std::string lastKey(reinterpret_cast<const char*>(EntryKey(EntryAt(levels_[0].data(), kpn_ - 1, item_))),
                          static_cast<std::size_t>(k_));
      std::uint32_t b = 0;
      if (!WriteNode(0, b)) return false;
      if (!Carry(1, b, lastKey)) return false;
    }
    Node& leaf = levels_[0];
    const int c = NodeCount(leaf.data());
    std::uint8_t* e = EntryAt(leaf.data(), c, item_);
    PutU32(e, 0);
    PutU32(e + 4, rec);
    std::memcpy(e + 8, key, static_cast<std::size_t>(k_));
    SetNodeCount(leaf.data(), c + 1);
    return true;
  }

  // Writes the last nodes; the root block, 0 after a failure.
  std::uint32_t Finish() {
    std::uint32_t last = 0;
    if (!WriteNode(0, last)) return 0;
    for (std::size_t lv = 1; lv < levels_.size(); ++lv) {
      Node& n = levels_[lv];
      if (NodeCount(n.data()) == 0) continue;
      PutU32(n.data() + 4 + NodeCount(n.data()) * item_, last);
      if (!WriteNode(lv, last)) return 0;
    }
    if (!Flush()) return 0;
    return last;
  }

  int err = 0;

 private:
  // The child number b (whose subtree ends with lastKey) goes to level lv.
  bool Carry(std::size_t lv, std::uint32_t b, const std::string& lastKey) {
    for (;; ++lv) {
      if (lv >= levels_.size()) levels_.emplace_back();
      Node& n = levels_[lv];
      const int c = NodeCount(n.data());
      std::uint8_t* e = EntryAt(n.data(), c, item_);
      PutU32(e, b);
      if (c < kpn_) {
        PutU32(e + 4, 0);
        std::memcpy(e + 8, lastKey.data(), static_cast<std::size_t>(k_));
        SetNodeCount(n.data(), c + 1);
        return true;
      }
      // Full: b became its right-most child; the node goes out.
      if (!WriteNode(lv, b)) return false;
    }
  }

  // Writes level lv's node as the next block and empties it.
  bool WriteNode(std::size_t lv, std::uint32_t& block) {
    block = next_++;
    Node& n = levels_[lv];
    n[2] = n[3] = 0;
    buffer_.insert(buffer_.end(), n.begin(), n.end());
    n.fill(0);
    if (buffer_.size() >= kNodeBufferNodes * kNodeSize) return Flush();
    return true;
  }

  bool Flush() {
    if (buffer_.empty()) return true;
    const std::int64_t off = static_cast<std::int64_t>(flushed_) * kNodeSize;
    NdxUnit& u = Ndx();
    // A refused write (the test's too) is noted on the index file.
    if (u.writeFault && (err = u.writeFault(0, flushed_)) != 0) NoteWriteFailure(fd_, err);
    if (err != 0 || !WriteAll(fd_, buffer_.data(), buffer_.size(), off, err)) {
      if (err == 0) err = ENOSPC;
      return false;
    }
    Ndx().counters.nodeWrites += buffer_.size() / kNodeSize;
    flushed_ += static_cast<std::uint32_t>(buffer_.size() / kNodeSize);
    buffer_.clear();
    return true;
  }

  int fd_;
  int item_ = 0, kpn_ = 0, k_ = 0;
  std::vector<Node> levels_;
  std::vector<std::uint8_t> buffer_;
  std::uint32_t next_ = 1;
  std::uint32_t flushed_ = 1;  // the first block the buffer starts at
};

// Cursor over one run of the work file.
struct RunCursor {
  std::int64_t pos = 0, end = 0;
  std::vector<std::uint8_t> buf;
  std::size_t at = 0;
};

bool Advance(int fd, RunCursor& c, std::size_t s, int& err) {
  c.at += s;
  if (c.at < c.buf.size()) return true;
  c.at = 0;
  c.buf.clear();
  if (c.pos >= c.end) return true;
  std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(c.end - c.pos, static_cast<std::int64_t>(kRunBufferBytes / s * s)));
  c.buf.resize(want);
  if (!ReadAll(fd, c.buf.data(), want, c.pos, err)) {
    if (err == 0) err = EIO;
    return false;
  }
  c.pos += static_cast<std::int64_t>(want);
  return true;
}

std::string Suffix(std::string_view fileName) { return " [MakeIndex(<...>," + std::string(fileName) + ")]"; }

bool IndexOpenAnywhere(const std::string& name) {
  NdxUnit& u = Ndx();
  for (int ar = 1; ar <= 34; ++ar)
    for (int s = 1; s <= kIndexSlots; ++s) {
      IndexControl* ic = u.areas[static_cast<std::size_t>(ar)].slots[static_cast<std::size_t>(s)].get();
      if (ic && ic->fileName == name) return true;
    }
  return false;
}

// State of the area's current record, restored after the build read every
// record through it.
struct RecordScope {
  WorkArea& a;
  std::string stored;
  std::int32_t number;
  bool eof, bof;
  // The buffer takes the record before the stored bytes change under it.
  explicit RecordScope(WorkArea& w)
      : a(w), stored((CompleteRecordBuffer(w), w.stored)), number(w.recordNumber), eof(w.eof), bof(w.bof) {}
  ~RecordScope() {
    a.stored = std::move(stored);
    a.recordNumber = number;
    a.eof = eof;
    a.bof = bof;
  }
  RecordScope(const RecordScope&) = delete;
  RecordScope& operator=(const RecordScope&) = delete;
};

std::int64_t LevelCount(std::int64_t n, int kpn) {
  std::int64_t levels = 2;
  for (std::int64_t q = n / kpn; q > 0; q /= kpn) ++levels;
  return levels;
}

// The sort-and-build pass; the root block, or 0 after a reported failure.
std::uint32_t SortAndBuild(WorkArea& a, IndexControl& ic, int fd, int order, const std::string& suffix) {
  NdxUnit& u = Ndx();
  const int k = ic.KeyLen();
  const int s = k + 4;
  const bool numeric = !ic.charKey;
  RefreshRecordCount(a);
  const std::int32_t n = std::max(a.recordCount, 0);
  Progress progress(n);
  struct Finish {
    Progress& p;
    ~Finish() { p.Finish(); }
  } finishProgress{progress};

  // Disk space: the items and every level's nodes.
  {
    const int kpn = std::max(ic.KeysPerNode(), 1);
    std::int64_t needed = static_cast<std::int64_t>(n) * (k + 4);
    const std::int64_t levels = LevelCount(n, kpn);
    std::int64_t pw = 1;
    for (std::int64_t i = 1; i <= levels; ++i) {
      if (pw <= n) pw *= kpn;
      needed += (n / pw + 1) * kNodeSize;
    }
    std::string folder = ic.fileName.substr(0, ic.fileName.rfind('/') + 1);
    const std::int64_t free = DiskFreeKB(folder.empty() ? "." : folder);
    if (needed / 1024 > free) {
      TzError(227, "Verfügbarer Plattenplatz: "_ansi + std::to_string(free) + " KBytes;" + "benötigt: "_ansi +
                       std::to_string(needed / 1024) + " KBytes [MakeIndex]");
      return 0;
    }
  }

  const std::size_t runItems =
      u.runItems != 0 ? u.runItems : kRunBudgetBytes / (static_cast<std::size_t>(s) + 2 * sizeof(std::uint64_t) * 2);
  Run run(s);
  run.Reserve(std::min<std::size_t>(runItems, static_cast<std::size_t>(n) + 1));
  WorkFile work;
  std::vector<std::uint8_t> item(static_cast<std::size_t>(s));
  auto writeRun = [&]() -> bool {
    run.Sort();
    if (!work.file.valid()) {
      std::string name = UniqueFilename();
      if (name.empty()) return false;
      int wfd = ::open(name.c_str(), O_RDWR | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
      int e = errno;
      ::unlink(name.c_str());
      if (wfd < 0) {
        TzError(ErrnoToTzCode(e), "Arbeitsdatei nicht angelegt" + suffix);
        return false;
      }
      work.file = FileHandle(wfd);
      work.runStart.push_back(0);
    }
    std::vector<std::uint8_t> out;
    out.reserve(run.Count() * static_cast<std::size_t>(s));
    out.resize(run.Count() * static_cast<std::size_t>(s));
    for (std::size_t i = 0; i < run.Count(); ++i) run.Item(i, out.data() + i * static_cast<std::size_t>(s));
    int err = 0;
    if (!WriteAll(work.file.get(), out.data(), out.size(), work.runStart.back(), err)) {
      TzError(err != 0 ? ErrnoToTzCode(err) : 101, "Fehler beim Schreiben der Arbeitsdatei" + suffix);
      return false;
    }
    work.runStart.push_back(work.runStart.back() + static_cast<std::int64_t>(out.size()));
    ++u.counters.workFileRuns;
    run.Clear();
    return true;
  };

  // Reading: whole records straight from the table file, in blocks.
  {
    RecordScope scope(a);
    const std::size_t len = a.recordLength;
    const std::size_t per = std::max<std::size_t>(1, kReadBlockBytes / std::max<std::size_t>(len, 1));
    std::string block;
    a.stored.assign(len, ' ');
    for (std::int32_t first = 1; first <= n; first += static_cast<std::int32_t>(per)) {
      const std::size_t cnt = std::min<std::size_t>(per, static_cast<std::size_t>(n - first + 1));
      block.resize(cnt * len);
      int err = 0;
      const std::int64_t off = a.headerLength + static_cast<std::int64_t>(first - 1) * static_cast<std::int64_t>(len);
      if (!ReadAll(a.file.get(), block.data(), block.size(), off, err)) {
        TzError(err != 0 ? ErrnoToTzCode(err) : 100, "Fehler beim Lesen der Datenbank " + a.fileName + suffix);
        return 0;
      }
      RecordCodePage(CodePageDirection::AfterRead, a.oemText, a.afterRead, block.size(), len, block.data());
      for (std::size_t i = 0; i < cnt; ++i) {
        std::memcpy(a.stored.data(), block.data() + i * len, len);
        const auto rec = static_cast<std::uint32_t>(first) + static_cast<std::uint32_t>(i);
        a.recordNumber = static_cast<std::int32_t>(rec);
        a.eof = a.bof = false;
        const std::string key = KeyOfIndex(ic, order);
        SortableFromKey(numeric, key, rec, item.data(), k);
        run.Add(item.data(), rec);
        if (run.Count() >= runItems && !writeRun()) return 0;
        progress.Tick();
      }
    }
  }
  if (TzCurrentError() == 358 || TzCurrentError() == 354) SetTzCurrentError(0);

  TreeBuilder tree(ic, fd);
  const bool unique = ic.Unique();
  std::vector<std::uint8_t> prevKey(static_cast<std::size_t>(std::max(k, 1)));
  bool havePrev = false;
  std::vector<std::uint8_t> key(static_cast<std::size_t>(std::max(k, 8)));
  auto emit = [&](const std::uint8_t* it) -> bool {
    if (unique) {
      if (havePrev && std::memcmp(prevKey.data(), it, static_cast<std::size_t>(k)) == 0) return true;
      std::memcpy(prevKey.data(), it, static_cast<std::size_t>(k));
      havePrev = true;
    }
    std::uint32_t rec = 0;
    KeyFromSortable(numeric, it, k, key.data(), rec);
    progress.Tick();
    return tree.Add(key.data(), rec);
  };
  auto buildFailed = [&]() {
    TzError(tree.err != 0 ? ErrnoToTzCode(tree.err) : 101, "Fehler beim Schreiben der Index-Datei " + ic.fileName + suffix);
    return 0u;
  };

  if (!work.file.valid()) {
    run.Sort();
    for (std::size_t i = 0; i < run.Count(); ++i) {
      run.Item(i, item.data());
      if (!emit(item.data())) return buildFailed();
    }
  } else {
    if (run.Count() > 0 && !writeRun()) return 0;
    // Merge all runs at once.
    const std::size_t runs = work.runStart.size() - 1;
    std::vector<RunCursor> cur(runs);
    auto cmp = [&](std::size_t x, std::size_t y) {
      return std::memcmp(cur[x].buf.data() + cur[x].at, cur[y].buf.data() + cur[y].at, static_cast<std::size_t>(s)) > 0;
    };
    std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(cmp)> heap(cmp);
    for (std::size_t r = 0; r < runs; ++r) {
      cur[r].pos = work.runStart[r];
      cur[r].end = work.runStart[r + 1];
      cur[r].at = 0;
      int err = 0;
      cur[r].buf.clear();
      if (!Advance(work.file.get(), cur[r], static_cast<std::size_t>(s), err) && err != 0) {
        TzError(ErrnoToTzCode(err), "Fehler beim Lesen der Arbeitsdatei" + suffix);
        return 0;
      }
      // Advance moved past a first item that was never there: load again.
      if (cur[r].buf.empty()) continue;
      cur[r].at = 0;
      heap.push(r);
    }
    while (!heap.empty()) {
      std::size_t r = heap.top();
      heap.pop();
      if (!emit(cur[r].buf.data() + cur[r].at)) return buildFailed();
      int err = 0;
      if (!Advance(work.file.get(), cur[r], static_cast<std::size_t>(s), err)) {
        TzError(ErrnoToTzCode(err), "Fehler beim Lesen der Arbeitsdatei" + suffix);
        return 0;
      }
      if (!cur[r].buf.empty()) heap.push(r);
    }
  }
  std::uint32_t root = tree.Finish();
  if (root == 0) return buildFailed();
  return root;
}

}  // namespace

void MakeIndex(std::string_view fileName, std::string_view expression, bool soundex, const KeyMaker& keyMaker,
               bool descending, bool unique, int slot) {
  NdxUnit& u = Ndx();
  SetTzCurrentError(0);
  if (fileName.empty()) {
    TzError(220, "Index-Dateiname nicht angegeben [MakeIndex()]");
    return;
  }
  const std::string suffix = Suffix(fileName);
  WorkArea* ap = CurrentWorkArea();
  if (!ap || !ap->IsOpen()) {
    TzError(215, "Datenbank nicht geöffnet beim Indizieren von"_ansi + std::string(fileName) + "." + suffix);
    return;
  }
  WorkArea& a = *ap;
  const std::string name = AddTablePath(fileName);
  CompiledExpr* compiled = nullptr;
  struct Release {
    CompiledExpr*& e;
    ~Release() {
      if (e) ReleaseExpr(e);
    }
  } release{compiled};
  if (!keyMaker) {
    if (expression.empty()) {
      TzError(254, "Weder Ausdruck noch KeyMaker sind definiert" + suffix);
      return;
    }
    if (!ParserHooks().Installed()) {
      TzError(221, "TZParser-Unit nicht eingebunden. [MakeIndex]");
      return;
    }
    if (expression.size() > 100) {
      TzError(300, "Index-Ausdruck länger als 100 Bytes"_ansi + suffix);
      return;
    }
    compiled = AssignExpr(expression);
    if (!compiled) return;
  }
  if (IndexOpenAnywhere(name)) {
    TzError(214, name + suffix);
    return;
  }

  IndexControl ic;
  ic.fileName = name;
  ic.keyMaker = keyMaker;
  ic.soundex = soundex;
  ic.descending = descending;
  ic.compiled = compiled;
  ic.expression = std::string(expression);
  char type = 'C';
  if (compiled) {
    switch (compiled->type) {
      case 'C': type = 'C'; break;
      case 'D': type = 'D'; break;
      case 'N': type = 'N'; break;
      default:
        TzError(254, "Ungültiger Parser-Return-Typ"_ansi + suffix);
        return;
    }
  }
  int keyLength = 8;
  ic.charKey = type == 'C';
  ic.hdr[9] = static_cast<std::uint8_t>(type);
  if (type == 'C') {
    if (keyMaker) {
      if (soundex) {
        keyLength = kSoundexLength;
      } else {
        std::string t;
        keyMaker(slot, t);
        keyLength = static_cast<int>(t.size());
      }
    } else {
      const ExprValue* v = EvaluateExpr(compiled);
      keyLength = v ? static_cast<int>(v->text.size()) : 0;
      if (TzCurrentError() == 354 || TzCurrentError() == 358) SetTzCurrentError(0);
    }
  }
  if (keyLength < 0 || keyLength > kMaxKeyLength) {
    TzError(266, "Ungültige Schlüssellänge von anwender-definiertem KeyMaker geliefert."_ansi + suffix);
    return;
  }
  const int itemSize = (keyLength + 8 + 3) / 4 * 4;
  PutU32(ic.hdr.data(), 1);
  PutU32(ic.hdr.data() + 4, 2);
  PutI16(ic.hdr.data() + 12, keyLength);
  PutI16(ic.hdr.data() + 14, 504 / itemSize);
  PutI16(ic.hdr.data() + 16, type == 'C' ? 0 : 1);
  PutI16(ic.hdr.data() + 18, itemSize);
  ic.hdr[23] = (unique || u.uniqueDefault) ? 1 : 0;

  // A file other programs use is rebuilt in place under the table lock;
  // otherwise the old file goes first.
  bool tableLocked = false;
  if (SemaphoreApplies(a)) {
    const int others = SemaphoreUsers(a) - (CurArea().sema ? 1 : 0);
    if (others > 0 && a.lockState != kLockFile) {
      if (!FLock()) {
        TzError(225, a.fileName + suffix);
        return;
      }
      tableLocked = true;
    }
  }
  struct Unlocker {
    WorkArea& a;
    bool locked;
    ~Unlocker() {
      if (locked) UnlockArea(a);
    }
  } unlocker{a, tableLocked};
  if (!tableLocked && ::unlink(name.c_str()) != 0 && errno != ENOENT) {
    const int e = errno;
    NoteWriteFailureOf(name, e);
    TzError(ErrnoToTzCode(e), "Datei nicht gelöscht: "_ansi + name + suffix);
    return;
  }
  // Never through a link; a file that appears between the unlink and the
  // open is another's and is not written into.
  int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (tableLocked ? O_TRUNC : O_EXCL),
                  InRunFolder(name) ? 0600 : 0666);
  if (fd < 0) {
    const int e = errno;
    NoteWriteFailureOf(name, e);
    TzError(ErrnoToTzCode(e), "Datei nicht geöffnet: "_ansi + name + suffix);
    return;
  }
  ic.file = FileHandle(fd);
  ++u.counters.builds;
  bool ok = false;
  // A failed build leaves no file, also when it raises: the next open
  // reports 2 and the caller builds again.
  struct DropFailed {
    IndexControl& ic;
    const std::string& name;
    const bool& ok;
    ~DropFailed() {
      if (ok) return;
      ic.compiled = nullptr;
      ic.file.Close();
      ::unlink(name.c_str());
    }
  } dropFailed{ic, name, ok};
  {
    std::uint32_t root = SortAndBuild(a, ic, fd, slot, suffix);
    if (root > 0) {
      ic.SetRoot(root);
      ic.SetNextFree(root + 1);
      Node head;
      BuildAnchorBlock(ic, head.data());
      int err = 0;
      if (WriteAll(fd, head.data(), kNodeSize, 0, err)) {
        ok = true;
        if (Engine().flushSwitch) ::fsync(fd);
      } else {
        TzError(err != 0 ? ErrnoToTzCode(err) : 101, "Fehler beim Schreiben der Index-Datei " + name + " [MakeIndex]");
      }
    }
  }
  ic.compiled = nullptr;
  int closeErr = ic.file.Close();
  if (ok && closeErr != 0) {
    ok = false;
    TzError(ErrnoToTzCode(closeErr), "Fehler beim Schließen der Index-Datei "_ansi + name + suffix);
  }
}

}  // namespace zeb::xbase
