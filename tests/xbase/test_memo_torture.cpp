// dBASE IV memo files under 2,000 random edits, starting from a file made
// by a script with a free chain, with fresh (and now and then damaged)
// chains laid in by another writer: after every edit the independent
// checker finds every memo as last written, the groups apart from each
// other and from a sound free chain.
#include <filesystem>
#include <fstream>
#include <random>

#include "support_memo_checker.h"
#include "test_memo_support.h"

namespace zeb::xbase {
namespace {

using test::MemoTest;
using test::WriteBytes;

constexpr int kRecords = 40;

struct Entry {
  std::string data;    // the memo's bytes as stored
  bool lines = false;  // written by lines (CR LF ended, no wrap needed)
};

std::string ReadHead(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string b(4, '\0');
  in.read(b.data(), 4);
  return b;
}

class MemoTorture : public MemoTest, public ::testing::WithParamInterface<int> {
 protected:
  std::mt19937 rng{20240601u};

  std::string RandomLine(std::size_t n) {
    std::string s(n, ' ');
    for (char& c : s) c = static_cast<char>(32 + rng() % 95);
    return s;
  }
  // Lines whose stored form (each + CR LF) is exactly target bytes.
  std::vector<std::string> LinesOf(std::size_t target) {
    std::vector<std::string> lines;
    if (target < 2) target = 2;
    while (target > 0) {
      std::size_t n = std::min<std::size_t>(target - 2, 1 + rng() % 200);
      if (target - 2 - n == 1) ++n;  // never leave a lone byte
      lines.push_back(RandomLine(n));
      target -= n + 2;
    }
    return lines;
  }
  static std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
  }
  std::vector<std::uint32_t> Refs() {
    std::vector<std::uint32_t> refs;
    for (int r = 1; r <= kRecords; ++r) refs.push_back(static_cast<std::uint32_t>(test::NoteOf(r)));
    return refs;
  }
};

TEST_P(MemoTorture, RandomEditsKeepGroupsApart) {
  const int bs = GetParam();
  std::vector<std::string> start;
  for (int i = 0; i < kRecords; ++i) start.push_back(i % 7 == 3 ? std::string() : Joined(LinesOf(10 + rng() % 900)));
  std::string out;
  ASSERT_EQ(test::MakeScriptDbase4(dir, "tt", bs, start, out), 0) << out;
  const std::string dbf = dir / "tt.dbf";
  const std::string dbt = dir / "tt.dbt";
  std::vector<Entry> oracle(kRecords + 1);
  for (int r = 1; r <= kRecords; ++r) oracle[static_cast<std::size_t>(r)] = {start[static_cast<std::size_t>(r - 1)], true};
  {
    auto rep = test::CheckDbase4Memo(test::Slurp(dbt), {});
    ASSERT_TRUE(rep.ok()) << rep.Text();
    ASSERT_GT(rep.chain.size(), 5u);  // the script made a chain
  }
  Open(dbf);
  int reused = 0, fromChain = 0;
  for (int op = 0; op < 2000; ++op) {
    SCOPED_TRACE("operation " + std::to_string(op));
    if (op % 5 == 4) {
      // Another program leaves a chain behind.
      std::vector<std::uint32_t> refs = Refs();
      CloseArea();
      std::string b = test::Slurp(dbt);
      if (op % 100 == 99)
        test::AddDamagedChain(b, refs, (op / 100) % 4);
      else
        test::AddFreeChain(b, refs, static_cast<std::uint32_t>(op));
      WriteBytes(dbt, b);
      Open(dbf);
    }
    const std::int32_t r = static_cast<std::int32_t>(1 + rng() % kRecords);
    Entry& e = oracle[static_cast<std::size_t>(r)];
    const std::int32_t old = test::NoteOf(r);
    const std::size_t sizeBefore = std::filesystem::file_size(dbt);
    const unsigned headBefore = test::U32At(ReadHead(dbt), 0);
    int kind = static_cast<int>(rng() % 5);
    if (op % 5 == 4 && kind == 3) kind = 1;  // a write follows the other program
    std::int32_t block = 0;
    if (kind == 4) {
      // BLOB: binary with the bytes a text reader would stop at.
      std::string data(1 + rng() % 1500, '\0');
      for (char& c : data) c = static_cast<char>(rng() % 4 == 0 ? "\x00\x1A\x03\xFF"[rng() % 4] : rng());
      block = CreateBlobDescriptor(false, old, 2);
      ASSERT_GT(block, 0) << LastText();
      const std::size_t half = data.size() / 2;
      WriteBlobStream(data.data(), static_cast<std::int32_t>(data.size()));
      SeekBlobStream(static_cast<std::int64_t>(half), 0);  // back, rewrite a part
      WriteBlobStream(data.data() + half, static_cast<std::int32_t>(std::min<std::size_t>(7, data.size() - half)));
      DestroyBlobDescriptor();
      e = {data, false};
    } else if (kind == 3) {
      block = test::WriteLines({}, old);  // emptied
      e = {std::string(), false};
    } else if (kind == 0 && e.lines && old != 0 && rng() % 2 == 0) {
      // Grow through the append stream.
      std::int32_t ref = old;
      MemoTextStream s;
      ASSERT_TRUE(s.Assign(ref));
      ASSERT_EQ(s.OpenAppend(), 0);
      auto more = LinesOf(2 + rng() % 700);
      for (const auto& l : more) s.WriteLine(l);
      ASSERT_EQ(s.Close(), 0) << LastText();
      block = ref;
      e = {e.data + Joined(more), true};
    } else {
      const std::size_t oldLen = e.data.size();
      const std::size_t step = rng() % 3 == 0 ? 1 + rng() % static_cast<unsigned>(bs) : 1 + rng() % 1500;
      std::size_t target = kind == 0 ? oldLen + step : kind == 1 ? oldLen / 2 : oldLen;
      // Often a group of whole blocks (length + 8 a multiple of the size).
      if (kind != 2 && rng() % 3 == 0) target += (static_cast<std::size_t>(bs) - (target + 8) % bs) % bs;
      const auto lines = LinesOf(std::max<std::size_t>(target, 2));
      block = test::WriteLines(lines, old);
      e = {Joined(lines), true};
    }
    ASSERT_EQ(TzCurrentError(), 0) << LastText();
    if (!e.data.empty()) {
      ASSERT_GT(block, 0);
    }
    if (block == old && old != 0) ++reused;
    if (block > 0 && static_cast<std::size_t>(block) * static_cast<std::size_t>(bs) < sizeBefore && block != old &&
        headBefore < sizeBefore / static_cast<std::size_t>(bs))
      ++fromChain;
    test::SetNote(r, block);
    ASSERT_EQ(TzCurrentError(), 0) << LastText();

    const std::vector<std::uint32_t> refs = Refs();
    const std::string bytes = test::Slurp(dbt);
    auto rep = test::CheckDbase4Memo(bytes, refs);
    ASSERT_TRUE(rep.ok()) << rep.Text();
    for (int k = 1; k <= kRecords; ++k) {
      const std::uint32_t b = refs[static_cast<std::size_t>(k - 1)];
      const Entry& x = oracle[static_cast<std::size_t>(k)];
      ASSERT_EQ(b == 0, x.data.empty()) << "record " << k;
      if (b != 0) {
        ASSERT_EQ(rep.memos[b], x.data) << "record " << k;
      }
    }
    // After a write the header leaves nothing of the file to other writers.
    if (block != 0) {
      ASSERT_EQ(test::U32At(bytes, 0), (bytes.size() + static_cast<std::size_t>(bs) - 1) / static_cast<std::size_t>(bs));
    }
  }
  EXPECT_GT(reused, 50);
  EXPECT_GT(fromChain, 20);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, MemoTorture, ::testing::Values(512, 64));

}  // namespace
}  // namespace zeb::xbase
