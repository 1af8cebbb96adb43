// Moving through a table: random sequences of moves and changes agree with
// a small model of the rules; a fake index steers the moves.
#include <random>

#include "x2_support.h"

namespace zeb::xbase::test {
namespace {

// The positioning rules over record numbers alone.
struct Model {
  int count = 0;
  std::vector<bool> del, pass;  // 1-based
  bool hide = false;
  int whileMax = 0;             // 0: no WHILE, else WHILE RecNo() <= whileMax
  int rec = 1;
  bool eof = false, bof = false;

  bool Vis(int r) const {
    if (r < 1 || r > count) return true;
    return !(hide && del[r]) && pass[r];
  }
  bool While(int r) const { return whileMax == 0 || r <= whileMax; }
  void Phantom() { rec = count + 1; eof = bof = true; }
  void GoTop() {
    int r = 1;
    while (r <= count && !Vis(r)) ++r;
    if (r > count) return Phantom();
    rec = r;
    eof = bof = false;
  }
  void GoBottom() {
    int r = count;
    while (r >= 1 && !Vis(r)) --r;
    if (r < 1) return Phantom();
    rec = r;
    eof = bof = false;
  }
  void Go(int n) {
    if (n >= 1 && n <= count) {
      rec = n;
      eof = bof = false;
    } else {
      rec = count + 1;
      eof = true;
    }
  }
  void Skip(int n) {
    if (n == 0) {
      if (!eof && rec >= 1 && rec <= count) bof = false;  // re-read
      return;
    }
    if (n > 0 && eof) return;
    if (n < 0 && bof) return;
    eof = bof = false;
    int steps = 0, lastGood = count + 1, r = rec;
    bool atEnd = false;
    do {
      if (n > 0) {
        if (r + 1 > count) {
          atEnd = true;
          break;
        }
        ++r;
        if (Vis(r)) ++steps;
      } else {
        if (Vis(r) && While(r)) lastGood = r;
        if (r - 1 < 1) atEnd = true; else --r;
        if (Vis(r)) --steps;
      }
    } while (steps != n && !atEnd && While(r));
    rec = r;
    if (atEnd && n > 0) {
      rec = count + 1;
      eof = true;
    } else if (atEnd) {
      GoTop();
      bof = true;
    } else if (!While(r)) {
      if (n > 0) {
        eof = true;
      } else {
        rec = lastGood;
        bof = true;
      }
    }
  }
};

class PositioningTest : public AreaTest {};

TEST_F(PositioningTest, RandomSequencesAgreeWithTheModel) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    std::mt19937 rng(seed);
    const int count = 1 + static_cast<int>(rng() % 12);
    std::vector<int> deleted;
    Model m;
    m.count = count;
    m.del.assign(count + 2, false);
    m.pass.assign(count + 2, true);
    for (int r = 1; r <= count; ++r) {
      if (rng() % 3 == 0) {
        deleted.push_back(r);
        m.del[r] = true;
      }
      if (seed % 2 == 0 && rng() % 4 == 0) m.pass[r] = false;
    }
    const std::string path = dir / ("p" + std::to_string(seed) + ".dbf");
    MakeNumbered(path, count, deleted);
    USE(path + " exclusive");
    ASSERT_EQ(TzCurrentError(), 0);
    SetFilter([&m] {
      int r = RecNo();
      return r < 1 || r > m.count || m.pass[r];
    });
    if (seed % 3 == 0) {
      m.whileMax = 1 + static_cast<int>(rng() % count);
      SetWhile([&m] { return RecNo() <= m.whileMax; });
    }
    GoTop();
    m.GoTop();
    for (int step = 0; step < 600; ++step) {
      int op = static_cast<int>(rng() % 9);
      std::string what;
      switch (op) {
        case 0: GoTop(); m.GoTop(); what = "GoTop"; break;
        case 1: GoBottom(); m.GoBottom(); what = "GoBottom"; break;
        case 2: {
          int n = static_cast<int>(rng() % (count + 3));
          GO(n);
          m.Go(n);
          what = "GO " + std::to_string(n);
          break;
        }
        case 3:
        case 4: {
          int n = static_cast<int>(rng() % 7) - 3;
          SKIP(n);
          m.Skip(n);
          what = "SKIP " + std::to_string(n);
          break;
        }
        case 5:
          if (m.rec >= 1 && m.rec <= count && !m.eof) {
            DeleteRec();
            m.del[m.rec] = true;
          }
          what = "DeleteRec";
          break;
        case 6:
          if (m.rec >= 1 && m.rec <= count && !m.eof) {
            RecallRec();
            m.del[m.rec] = false;
          }
          what = "RecallRec";
          break;
        default: {
          bool h = rng() % 2 == 0;
          SetIgnoreDel(h);
          m.hide = h;
          m.Skip(0);
          what = "SetIgnoreDel";
          break;
        }
      }
      SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step) + " " + what);
      ASSERT_EQ(RecNo(), m.rec);
      ASSERT_EQ(CurrentWorkArea()->eof, m.eof);
      ASSERT_EQ(CurrentWorkArea()->bof, m.bof);
      if (m.rec > count) {
        ASSERT_EQ(FieldAsString(1), std::string(10, ' '));
        ASSERT_EQ(FieldAsString(2), "    0");
      } else if (!m.eof) {
        ASSERT_EQ(TzTrimRight(FieldAsString(1)), "R" + std::to_string(m.rec));
      }
    }
    CloseArea();
  }
}

TEST_F(PositioningTest, EndsOfTheTable) {
  MakeNumbered(dir / "e.dbf", 4, {1, 4});
  USE(dir / "e.dbf exclusive");
  SetIgnoreDel(true);
  GoBottom();
  EXPECT_EQ(RecNo(), 3);
  SKIP(1);  // on the last visible record: EOF, phantom, blank buffer
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(RecNo(), 5);
  EXPECT_EQ(FieldAsString(1), std::string(10, ' '));
  SKIP(1);
  EXPECT_EQ(TzCurrentError(), 212);
  EXPECT_NE(TzTakeLastErrorText().find("ist hinter EOF. [SKIP]"), std::string::npos);
  GoTop();
  EXPECT_EQ(RecNo(), 2);
  SKIP(-1);  // first visible record: stays, BOF
  EXPECT_EQ(RecNo(), 2);
  EXPECT_TRUE(dBOF());
  SKIP(-1);
  EXPECT_EQ(RecNo(), 2);
  GO(1);  // GO ignores hidden records
  EXPECT_EQ(RecNo(), 1);
  EXPECT_TRUE(Deleted());
  GO(9);
  EXPECT_EQ(TzCurrentError(), 212);
  EXPECT_TRUE(dEOF());
  // All deleted: GoTop ends on the phantom record.
  GO(2);
  DeleteRec();
  GO(3);
  DeleteRec();
  GoTop();
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(RecNo(), 5);
  CloseArea();
  CreateTable(dir / "empty.dbf", {Fd("A", 'C', 3)});
  USE(dir / "empty.dbf");
  TopWhile();
  EXPECT_EQ(TzCurrentError(), 0);
  EXPECT_TRUE(dEOF());
  SKIP(1);
  EXPECT_EQ(TzCurrentError(), 212);
}

TEST_F(PositioningTest, MoveNotificationRunsAfterEveryMove) {
  MakeNumbered(dir / "m.dbf", 3);
  USE(dir / "m.dbf exclusive");
  std::vector<int> seen;
  SetMoveNotify([&] { seen.push_back(RecNo()); });
  SKIP(1);
  GoBottom();
  GO(1);
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 1}));
  // A notification that moves the pointer is error 224.
  SetMoveNotify([] { GO(3); });
  EXPECT_EQ(TzCurrentError(), 224);
  SetMoveNotify(nullptr);
}

// An index over the records in a fixed key order.
class FakeIndex : public IndexHookTable {
 public:
  explicit FakeIndex(std::vector<int> order) : order_(std::move(order)) {}
  bool Installed() const override { return true; }
  bool HasMasterIndex() override { return true; }
  std::int32_t TopRecord() override { pos_ = 0; eof_ = bof_ = false; return order_.empty() ? Count() + 1 : order_[0]; }
  std::int32_t BottomRecord() override {
    eof_ = bof_ = false;
    if (order_.empty()) return Count() + 1;
    pos_ = order_.size() - 1;
    return order_[pos_];
  }
  std::int32_t NextRecord() override {
    if (pos_ + 1 < order_.size()) return order_[++pos_];
    eof_ = true;
    return order_[pos_];
  }
  std::int32_t PriorRecord() override {
    if (pos_ > 0) return order_[--pos_];
    bof_ = true;
    return order_[pos_];
  }
  bool IndexEof() override { return eof_ || CurrentWorkArea()->eof; }
  bool IndexBof() override { return bof_ || CurrentWorkArea()->bof; }
  void SyncMaster() override { Sync(); }
  void Resync() override { Sync(); }
  void SetIndexBof() override { bof_ = true; }
  void SetIndexEof() override { eof_ = true; }
  void AppendNewKey() override { log.push_back(inWrite_ ? 8 : -8); order_.push_back(CurrentWorkArea()->recordNumber); }
  void SyncAfterReplace() override { log.push_back(inWrite_ ? 10 : -10); }
  void UpdateKeys() override { log.push_back(inWrite_ ? 11 : -11); }
  void WriteLock(bool begin) override { inWrite_ = begin; log.push_back(begin ? 24 : -24); }
  std::vector<int> log;

 private:
  int Count() { return CurrentWorkArea()->recordCount; }
  void Sync() {
    int r = CurrentWorkArea()->recordNumber;
    for (std::size_t i = 0; i < order_.size(); ++i)
      if (order_[i] == r) pos_ = i;
    eof_ = r > Count();
  }
  std::vector<int> order_;
  std::size_t pos_ = 0;
  bool eof_ = false, bof_ = false;
  bool inWrite_ = false;
};

TEST_F(PositioningTest, AnIndexSteersTheMoves) {
  MakeNumbered(dir / "i.dbf", 5, {4});
  auto index = std::make_shared<FakeIndex>(std::vector<int>{3, 5, 1, 4, 2});
  SetIndexHooks(index);
  USE(dir / "i.dbf exclusive");
  EXPECT_EQ(RecNo(), 3);
  SKIP(1);
  EXPECT_EQ(RecNo(), 5);
  SKIP(2);
  EXPECT_EQ(RecNo(), 4);
  SetIgnoreDel(true);
  EXPECT_EQ(RecNo(), 4);  // SKIP(0) stays
  GoBottom();
  EXPECT_EQ(RecNo(), 2);
  SKIP(-1);  // 4 is hidden
  EXPECT_EQ(RecNo(), 1);
  SKIP(2);
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(RecNo(), 6);
  // Append and Replace run their key upkeep inside the write semaphore.
  AppendRow({"R6", "6"});
  ASSERT_EQ(TzCurrentError(), 0);
  Replace();
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(index->log, (std::vector<int>{24, 8, -24, 24, 10, 11, -24}));
  CloseArea();
  SetIndexHooks(nullptr);
}

}  // namespace
}  // namespace zeb::xbase::test
