// The dataset cursor against a small reference: random navigation and
// edits over tables with deleted records, hidden or shown, in natural and
// index order; record number, BOF, EOF and the record agree after each step.
#include <algorithm>
#include <random>

#include "dataset_support.h"
#include "xbase/dataset/filedataset.h"

namespace zeb::xbase::test {
namespace {

// The reference: records with key and mark, a position in the visible order.
struct Model {
  struct Rec {
    std::int32_t no;
    std::string name;
    bool deleted;
  };
  std::vector<Rec> recs;
  bool hide = false;
  bool indexed = false;
  int pos = -1;  // index into Visible()
  bool bof = true, eof = true;

  std::vector<const Rec*> Visible() const {
    std::vector<const Rec*> v;
    for (const Rec& r : recs)
      if (!(hide && r.deleted)) v.push_back(&r);
    if (indexed)
      std::stable_sort(v.begin(), v.end(), [](const Rec* a, const Rec* b) { return a->name < b->name; });
    return v;
  }
  int IndexOf(std::int32_t no) const {
    auto v = Visible();
    for (std::size_t i = 0; i < v.size(); ++i)
      if (v[i]->no == no) return static_cast<int>(i);
    return -1;
  }
  std::int32_t Current() const {
    auto v = Visible();
    return pos >= 0 && pos < static_cast<int>(v.size()) ? v[static_cast<std::size_t>(pos)]->no : -1;
  }
  void Empty() { pos = -1; bof = eof = true; }
  void First() {
    auto n = Visible().size();
    if (n == 0) return Empty();
    pos = 0;
    bof = true;
    eof = false;
  }
  void Last() {
    auto n = Visible().size();
    if (n == 0) return Empty();
    pos = static_cast<int>(n) - 1;
    eof = true;
    bof = false;
  }
  void Next() {
    auto n = static_cast<int>(Visible().size());
    if (n == 0) return Empty();
    if (eof) return;
    bof = false;
    if (pos + 1 < n) ++pos; else eof = true;
  }
  void Prior() {
    auto n = static_cast<int>(Visible().size());
    if (n == 0) return Empty();
    if (bof) return;
    eof = false;
    if (pos > 0) --pos; else bof = true;
  }
  void StandOn(std::int32_t no) {
    pos = IndexOf(no);
    bof = eof = false;
  }
  // After the current record vanished: the next in order, else the last.
  void AfterVanish(std::int32_t gone, const std::vector<const Rec*>& before) {
    auto v = Visible();
    if (v.empty()) return Empty();
    std::size_t i = 0;
    while (i < before.size() && before[i]->no != gone) ++i;
    for (std::size_t k = i + 1; k < before.size(); ++k)
      if (IndexOf(before[k]->no) >= 0) return StandOn(before[k]->no);
    StandOn(v.back()->no);
  }
};

struct CursorCase {
  bool hide;
  bool indexed;
};

class DatasetCursor : public DatasetTest, public ::testing::WithParamInterface<CursorCase> {};

// Unique keys: equal keys would leave their order to the index.
std::string Key(std::mt19937& rng) {
  static const char letters[] = "ABCDEFGH";
  static int serial = 0;
  std::string s;
  for (int i = 0; i < 2; ++i) s.push_back(letters[rng() % 8]);
  return s + std::to_string(100000 + ++serial);
}

TEST_P(DatasetCursor, RandomStepsAgreeWithTheReference) {
  const CursorCase c = GetParam();
  const std::string path = MakeTable("cur.dbf", {{"NAME", 'C', 8, 0, 0}, {"N", 'N', 6, 0, 0}});
  TTzDbf ds("CUR");
  ds.SetDbfFileName(path);
  ds.SetHideDeletedRecs(c.hide);
  ds.Open();
  Model m;
  m.hide = c.hide;
  std::mt19937 rng(c.hide * 2 + c.indexed + 7);
  auto append = [&](const std::string& name) {
    ds.Append();
    ds.FieldByName("NAME").SetAsString(name);
    ds.FieldByName("N").SetAsInteger(static_cast<std::int64_t>(m.recs.size()) + 1);
    ds.Post();
    m.recs.push_back({static_cast<std::int32_t>(m.recs.size()) + 1, name, false});
    m.StandOn(m.recs.back().no);
  };
  for (int i = 0; i < 12; ++i) append(Key(rng));
  if (c.indexed) {
    ds.IndexOn("NAME", dir / "names.ndx");
    m.indexed = true;
  }
  auto check = [&](const std::string& step) {
    SCOPED_TRACE(step);
    ASSERT_EQ(ds.Bof(), m.bof);
    ASSERT_EQ(ds.Eof(), m.eof);
    if (m.pos < 0) {
      ASSERT_TRUE(ds.IsEmpty());
      return;
    }
    ASSERT_EQ(ds.GetRecNo(), m.Current());
    const auto& rec = m.recs[static_cast<std::size_t>(m.Current() - 1)];
    ASSERT_EQ(ds.FieldByName("NAME").AsString(), rec.name);
    ASSERT_EQ(ds.GetDeletedFlag(), rec.deleted);
  };
  ds.First();
  m.First();
  check("start");
  if (HasFatalFailure()) return;
  for (int step = 0; step < 400; ++step) {
    const int op = static_cast<int>(rng() % 11);
    std::string name = "op" + std::to_string(op) + " at " + std::to_string(step);
    switch (op) {
      case 0: ds.First(); m.First(); break;
      case 1: ds.Last(); m.Last(); break;
      case 2:
      case 3: ds.Next(); m.Next(); break;
      case 4: ds.Prior(); m.Prior(); break;
      case 5: {
        const int k = static_cast<int>(rng() % 7) - 3;
        ds.MoveBy(k);
        for (int i = 0; i < std::abs(k); ++i) k > 0 ? m.Next() : m.Prior();
        break;
      }
      case 6: {
        auto v = m.Visible();
        if (v.empty()) break;
        const std::int32_t r = v[rng() % v.size()]->no;
        ds.SetRecNo(r);
        if (r != m.Current()) m.StandOn(r);  // the same number changes nothing
        break;
      }
      case 7: {  // Append anywhere, or Insert: both append
        if (rng() % 2) {
          append(Key(rng));
        } else {
          ds.Insert();
          const std::string k = Key(rng);
          ds.FieldByName("NAME").SetAsString(k);
          ds.Post();
          m.recs.push_back({static_cast<std::int32_t>(m.recs.size()) + 1, k, false});
          m.StandOn(m.recs.back().no);
        }
        break;
      }
      case 8: {  // edit the key, post or cancel
        if (m.pos < 0) break;
        const std::int32_t r = m.Current();
        ds.Edit();
        const std::string k = Key(rng);
        ds.FieldByName("NAME").SetAsString(k);
        if (rng() % 3 == 0) {
          ds.Cancel();
        } else {
          ds.Post();
          m.recs[static_cast<std::size_t>(r - 1)].name = k;
          m.StandOn(r);
        }
        break;
      }
      case 9: {  // delete
        if (m.pos < 0 || m.recs[static_cast<std::size_t>(m.Current() - 1)].deleted) break;
        const std::int32_t r = m.Current();
        auto before = m.Visible();
        ds.Delete();
        m.recs[static_cast<std::size_t>(r - 1)].deleted = true;
        if (m.hide)
          m.AfterVanish(r, before);
        else
          m.StandOn(r);
        break;
      }
      case 10: {  // restore
        if (m.pos < 0 || !m.recs[static_cast<std::size_t>(m.Current() - 1)].deleted) break;
        const std::int32_t r = m.Current();
        ds.SetDeletedFlag(false);
        m.recs[static_cast<std::size_t>(r - 1)].deleted = false;
        m.StandOn(r);
        break;
      }
    }
    check(name);
    if (HasFatalFailure()) return;
  }
  EXPECT_EQ(ds.GetRecordCount(), static_cast<std::int32_t>(m.recs.size()));
}

INSTANTIATE_TEST_SUITE_P(Orders, DatasetCursor,
                         ::testing::Values(CursorCase{false, false}, CursorCase{true, false},
                                           CursorCase{false, true}, CursorCase{true, true}),
                         [](const auto& info) {
                           return std::string(info.param.hide ? "Hidden" : "Shown") +
                                  (info.param.indexed ? "Index" : "Natural");
                         });

}  // namespace
}  // namespace zeb::xbase::test
