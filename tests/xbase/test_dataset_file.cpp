// The DBF file dataset: opening options, failures that raise and the
// process runs on, command methods, index lists and finds, writes under the
// locks of a second process, delimited text and BLOB streams.
#include <sys/wait.h>
#include <unistd.h>

#include "dataset_support.h"
#include "lock_holder.h"
#include "xbase/dataset/filedataset.h"
#include "xbase/dbf/locking.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/index/ndx.h"

namespace zeb::xbase::test {
namespace {

class FileDataset : public DatasetTest {
 protected:
  std::string Names(int count, const std::string& name = "t.dbf") {
    const std::string path = MakeTable(name, {{"NAME", 'C', 10, 0, 0}, {"NUM", 'N', 5, 0, 0}});
    TTzDbf ds("FILL");
    ds.SetDbfFileName(path);
    ds.Open();
    for (int i = 1; i <= count; ++i) {
      ds.Append();
      ds.FieldByName("NAME").SetAsString("N" + std::to_string(i));
      ds.FieldByName("NUM").SetAsInteger(i * 10);
      ds.Post();
    }
    return path;
  }
};

TEST_F(FileDataset, EmptyTableBookmarksAndNames) {
  const std::string path = Names(0);
  TTzDbf ds("E");
  ds.SetDbfFileName(path);
  ds.Open();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.Bof() && ds.Eof());
  EXPECT_TRUE(ds.s_IsEmptyDbf());
  EXPECT_EQ(ds.TziSetToBegin(), kTziOk);
  EXPECT_TRUE(ds.BeginCrack());
  std::int32_t rn = 0;
  EXPECT_EQ(ds.TziGetNextRecord(nullptr, rn), kTziAtEnd);
  int newRecord = 0;
  ds.onNewRecord = [&](DataSet& d) {
    ++newRecord;
    EXPECT_TRUE(d.FieldByName("NAME").AsString().empty());
  };
  ds.Insert();
  ds.FieldByName("NAME").SetAsString("ONE");
  ds.Post();
  EXPECT_EQ(newRecord, 1);
  EXPECT_EQ(ds.GetRecNo(), 1);
  ds.Insert();  // inserting anywhere appends
  ds.FieldByName("NAME").SetAsString("TWO");
  ds.Post();
  EXPECT_EQ(ds.GetRecNo(), 2);
  // Bookmarks: missing ones first, deleted records still comparable.
  const Bookmark b2 = ds.GetBookmark();
  ds.First();
  const Bookmark b1 = ds.GetBookmark();
  EXPECT_EQ(ds.CompareBookmarks(std::nullopt, b1), 1);
  EXPECT_EQ(ds.CompareBookmarks(b1, std::nullopt), -1);
  EXPECT_EQ(ds.CompareBookmarks(std::nullopt, std::nullopt), 0);
  EXPECT_EQ(ds.CompareBookmarks(b1, b2), -1);
  ds.Delete();
  ds.SetHideDeletedRecs(true);
  EXPECT_EQ(ds.CompareBookmarks(b1, b2), -1);
  EXPECT_FALSE(ds.BookmarkValid(b1));
  EXPECT_TRUE(ds.BookmarkValid(b2));
  ds.SetHideDeletedRecs(false);
  EXPECT_TRUE(ds.BookmarkValid(b1));
  ds.GotoBookmark(b1);
  EXPECT_EQ(ds.GetRecNo(), 1);
  EXPECT_TRUE(ds.GetDeletedFlag());
  // Names: the default extension, a final point kept.
  TTzDbf n("N");
  n.SetDbfFileName("  table  ");
  EXPECT_EQ(n.DbfFileName(), "table.DBF");
  n.SetDbfFileName("table.");
  EXPECT_EQ(n.DbfFileName(), "table.");
}

TEST_F(FileDataset, FailuresRaiseAndTheProcessRunsOn) {
  TTzDbf ds("tzdbf");
  try {
    ds.Find("X");
    FAIL() << "no exception";
  } catch (const ETzError& e) {
    EXPECT_NE(std::string(e.what()).find("Datenbank ist nicht offen [tzdbf.Find]"), std::string::npos) << e.what();
  }
  // With errors only recorded, the program is asked to end (nothing else).
  SetTzErrorSwitch(false);
  EXPECT_FALSE(ds.Find("X"));
  EXPECT_EQ(CountEvents("terminate"), 1);
  SetTzErrorSwitch(true);
  EXPECT_TRUE(exitCodes.empty());
  try {
    CheckTziResult(kTziAtBegin, "");
  } catch (const EDatasetError& e) {
    EXPECT_STREQ(e.what(), "Dataset error: 1402");
  }
  try {
    CheckTziResult(kTziNoFileName, "");
  } catch (const EDatasetError& e) {
    EXPECT_STREQ(e.what(), "Missing DbfFilename property");
  }
  EXPECT_THROW(ds.Open(), EDatasetError);  // no file name
  const std::string path = Names(5);
  ds.SetDbfFileName(path);
  ds.Open();
  EXPECT_THROW(ds.Go(99), ETzError);
  EXPECT_TRUE(exitCodes.empty());
  ds.Go(3);
  EXPECT_EQ(ds.GetRecNo(), 3);
  ds.SafeGo(0);
  EXPECT_TRUE(ds.EndCrack());
  ds.SafeGo(6);
  EXPECT_TRUE(ds.EndCrack());
  ds.SafeGo(2);
  EXPECT_FALSE(ds.EndCrack());
}

TEST_F(FileDataset, CommandMethods) {
  const std::string path = Names(4);
  TTzDbf ds("CMD");
  ds.SetDbfFileName(path);
  ds.Open();
  EXPECT_EQ(ds.FieldCount(), 2);
  EXPECT_EQ(ds.Field(1), "NAME");
  EXPECT_EQ(ds.FieldLen(2), 5);
  ds.Go(2);
  EXPECT_EQ(AllTrimText(ds.SField(1)), "N2");
  // By-name setters enter the edit state and do not post; names use 10 characters.
  ds.SetStrByName("NAME", "CHANGED");
  EXPECT_EQ(ds.State(), DataSetState::Edit);
  Real48 r{};
  RealToReal48(77.0L, r);
  ds.SetFloatByName("NUM", r);
  ds.SetIntByName("NUM", 78);
  EXPECT_EQ(ds.State(), DataSetState::Edit);
  ds.Cancel();
  EXPECT_EQ(AllTrimText(ds.SField(1)), "N2");
  EXPECT_THROW(ds.SetStrByName("NOPE", "x"), EDatasetError);
  ds.Cancel();
  // A search that ends at the engine's end leaves the dataset where it was.
  ds.Go(3);
  ds.Search("NOWHERE", 0, 0);
  EXPECT_EQ(ds.GetRecNo(), 3);
  ds.Go(2);
  // Skip(0) shows what a second program wrote.
  DbfTable other;
  other.fileName = path;
  OpenDbf(other, kModeShared);
  GetDbfRecord(other, 2);
  other.stored.replace(other.fields[0].offset, 10, "OUTSIDE   ");
  PutDbfRecord(other, 2);
  CommitDbf(other);
  CloseDbf(other);
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "N2");
  ds.Skip(0);
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "OUTSIDE");
  // Skip(1) at the end makes no engine move.
  ds.Last();
  int moves = 0;
  SelectArea(ds.WorkAreaNumber());
  SetMoveNotify([&] { ++moves; });
  moves = 0;
  ds.Skip(1);
  EXPECT_EQ(moves, 0);
  EXPECT_TRUE(ds.IsEof());
  SelectArea(ds.WorkAreaNumber());
  SetMoveNotify({});
  // AppendFrom returns to the record that was current.
  const std::string src = Names(2, "src.dbf");
  ds.Go(3);
  ds.AppendFrom(src);
  EXPECT_EQ(ds.RecCount(), 6);
  EXPECT_EQ(ds.GetRecNo(), 3);
  // Pack removes marked records.
  ds.Go(1);
  ds.Delete();
  EXPECT_TRUE(ds.Deleted());
  ds.Pack();
  EXPECT_EQ(ds.RecCount(), 5);
}

TEST_F(FileDataset, NamesOfTwelveCharactersUseTheFirstTen) {
  const std::string path = MakeTable("long.dbf", {{"LONGFIELD1", 'C', 5, 0, 0}});
  TTzDbf ds("LONG");
  ds.SetDbfFileName(path);
  ds.Open();
  ds.AppendRec();
  ds.SetStrByName("LONGFIELD1XY", "abc");
  EXPECT_EQ(ds.State(), DataSetState::Edit);
  ds.Post();
  EXPECT_EQ(ds.FieldByName("LONGFIELD1").AsString(), "abc");
}

TEST_F(FileDataset, OpeningOptions) {
  TTzDbf ds("CREATED");
  ds.dbfFields = {"NAME, C, 12, 0", "N, N, 4, 0"};
  ds.SetDbfFileName(dir / "new.dbf");
  ds.Open();
  EXPECT_TRUE(std::filesystem::exists(dir / "new.dbf"));
  SelectArea(ds.WorkAreaNumber());
  EXPECT_EQ(CurrentWorkArea()->alias, "CREATED");
  EXPECT_FALSE(CurrentWorkArea()->exclusive);
  ds.SetExclusive(true);
  EXPECT_TRUE(ds.Active());
  SelectArea(ds.WorkAreaNumber());
  EXPECT_TRUE(CurrentWorkArea()->exclusive);
  ds.Close();
  ds.SetExclusive(false);
  ds.SetReadOnly(true);
  ds.Open();
  SelectArea(ds.WorkAreaNumber());
  EXPECT_EQ(CurrentWorkArea()->fileMode, 64);
  EXPECT_FALSE(ds.CanModify());
  ds.Close();
  // A file that cannot be made: the message, then the open fails.
  TTzDbf bad("BAD");
  bad.SetDbfFileName(dir / "no/such/folder/x.dbf");
  callback->events.clear();
  EXPECT_THROW(bad.Open(), EDatasetError);
  ASSERT_FALSE(Boxes().empty());
  EXPECT_EQ(Boxes().back(), "Konnte \"" + dir / "no/such/folder/x.dbf\" nicht erzeugen");
  // A stale header count is repaired on request.
  const std::string path = Names(3, "stale.dbf");
  std::string bytes = ReadBytes(path);
  bytes[4] = 1;
  WriteBytes(path, bytes);
  TTzDbf fix("FIX");
  fix.SetDbfFileName(path);
  fix.autoFixRecCount = true;
  fix.Open();
  EXPECT_EQ(fix.RecCount(), 3);
}

TEST_F(FileDataset, IndexListAndFinds) {
  EXPECT_EQ(ParseIndexListLine("UPPER(NAME)").expression, "UPPER(NAME)");
  EXPECT_EQ(ParseIndexListLine("UPPER(NAME)").slot, 0);
  EXPECT_TRUE(ParseIndexListLine("UPPER(NAME)").fileName.empty());
  const IndexListLine l = ParseIndexListLine("2, a.ndx, " + std::string(150, 'X'));
  EXPECT_EQ(l.slot, 2);
  EXPECT_EQ(l.fileName, "a.ndx");
  EXPECT_EQ(l.expression.size(), 100u);

  const std::string path = Names(6);
  TTzDbf ds("IDX");
  ds.SetDbfFileName(path);
  ds.indexList = {"1, " + dir / "name.ndx" + ", NAME", "2, " + dir / "num.ndx" + ", NUM"};
  std::vector<std::string> made;
  ds.onAfterMakeIndex = [&](const std::string& n) { made.push_back(n); };
  ds.Open();
  EXPECT_EQ(made.size(), 2u);
  EXPECT_TRUE(ds.Find("N4"));
  EXPECT_EQ(ds.GetRecNo(), 4);
  EXPECT_FALSE(ds.FindExact("N"));
  EXPECT_TRUE(ds.Find("N"));  // partial key
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "N1");
  EXPECT_TRUE(ds.Locate("NAME", {std::string("N5")}, 0));
  EXPECT_EQ(ds.GetRecNo(), 5);
  EXPECT_TRUE(ds.Locate("NAME", {std::string("N")}, kLoPartialKey));
  EXPECT_EQ(ds.GetRecNo(), 1);
  EXPECT_FALSE(ds.Locate("NAME", {std::string("N")}, 0));
  EXPECT_FALSE(ds.IsSequenced());
  ds.SetIndexTo("num.ndx");  // a name list: cut at blanks, the table's folder
  EXPECT_TRUE(ds.Find("   30"));
  EXPECT_EQ(ds.GetRecNo(), 3);
  EXPECT_FALSE(ds.Find("   35"));
  ds.Close();
  // Verify header: only the index whose count differs is rebuilt.
  made.clear();
  {
    TTzDbf more("MORE");
    more.SetDbfFileName(path);
    more.Open();
    more.Append();
    more.FieldByName("NAME").SetAsString("N7");
    more.Post();
  }
  ds.createIndex = TCreateIndexType::ciVerifyHeader;
  ds.indexList = {"1, " + dir / "name.ndx" + ", NAME"};
  ds.Open();
  EXPECT_EQ(made.size(), 1u);
  ds.Close();
  made.clear();
  ds.Open();
  EXPECT_TRUE(made.empty());
  ds.Close();
  // A refused build of a missing index fails the open with error 2.
  ds.createIndex = TCreateIndexType::ciNotFound;
  ds.indexList = {"1, " + dir / "gone.ndx" + ", NAME"};
  ds.onBeforeMakeIndex = [](const std::string&, bool& can) { can = false; };
  EXPECT_THROW(ds.Open(), std::exception);
  EXPECT_FALSE(ds.Active());
}

TEST_F(FileDataset, AlwaysRebuildsAndRefusalsKeepTheirText) {
  const std::string path = Names(4);
  std::vector<std::string> made;
  TTzDbf first("FIRST");
  first.SetDbfFileName(path);
  first.indexList = {"1, " + dir / "name.ndx" + ", NAME"};
  first.createIndex = TCreateIndexType::ciAlways;
  first.onAfterMakeIndex = [&](const std::string& n) { made.push_back(n); };
  first.Open();
  EXPECT_EQ(made.size(), 1u);
  first.Close();
  first.Open();
  EXPECT_EQ(made.size(), 2u);  // always
  // An index this program has open already is refused with the engine's text.
  TTzDbf second("SECOND");
  second.SetDbfFileName(path);
  second.indexList = first.indexList;
  try {
    second.Open();
    FAIL() << "opened twice";
  } catch (const EDatasetError& e) {
    EXPECT_NE(std::string(e.what()).find("Index-Datei bereits ge\xF6""ffnet"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(second.Active());
  EXPECT_TRUE(first.Find("N3"));
}

TEST_F(FileDataset, DelimitedTextRoundTrip) {
  const std::string path = Names(3);
  TTzDbf ds("TXT");
  ds.SetDbfFileName(path);
  ds.Open();
  ds.Go(2);
  ASSERT_TRUE(ds.CopyToDelimited(dir / "out.txt"));
  EXPECT_EQ(ds.GetRecNo(), 2);
  const std::string copy = MakeTable("copy.dbf", {{"NAME", 'C', 10, 0, 0}, {"NUM", 'N', 5, 0, 0}});
  TTzDbf back("BACK");
  back.SetDbfFileName(copy);
  back.Open();
  ASSERT_TRUE(back.AppendFromDelimited(dir / "out.txt"));
  EXPECT_EQ(back.RecCount(), 3);
  back.First();
  for (int i = 1; i <= 3; ++i, back.Next()) {
    EXPECT_EQ(back.FieldByName("NAME").AsString(), "N" + std::to_string(i));
    EXPECT_EQ(back.FieldByName("NUM").AsInteger(), i * 10);
  }
}

TEST_F(FileDataset, CalculatedFieldsAndKeyCallbacks) {
  const std::string path = Names(5);
  TTzDbf ds("CALC");
  ds.SetDbfFileName(path);
  TField& twice = ds.AddCalcField("TWICE", TFieldType::Float, 0);
  ds.onCalcFields = [](DataSet& d) { d.FieldByName("TWICE").SetAsFloat(d.FieldByName("NUM").AsFloat() * 2); };
  ds.Open();
  ds.Go(3);
  EXPECT_EQ(twice.AsFloat(), 60);
  ds.Next();
  EXPECT_EQ(twice.AsFloat(), 80);
  EXPECT_THROW(twice.SetAsFloat(1), EDatasetError);  // not editing
  // A key call-back reads the record through the dataset's fields.
  int calls = 0;
  ds.IndexOnCB(dir / "rev.ndx", [&](std::string& key) {
    ++calls;
    char text[32];
    std::snprintf(text, sizeof text, "%05lld", static_cast<long long>(10000 - ds.FieldByName("NUM").AsInteger()));
    key = text;  // keys of one length
  });
  EXPECT_GE(calls, 5);
  std::vector<std::int64_t> order;
  for (ds.First(); !ds.Eof(); ds.Next()) order.push_back(ds.FieldByName("NUM").AsInteger());
  EXPECT_EQ(order, (std::vector<std::int64_t>{50, 40, 30, 20, 10}));
  // The active record is untouched by the call-backs.
  ds.Go(2);
  ds.Edit();
  ds.FieldByName("NUM").SetAsInteger(45);
  ds.Post();
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "N2");
  order.clear();
  for (ds.First(); !ds.Eof(); ds.Next()) order.push_back(ds.FieldByName("NUM").AsInteger());
  EXPECT_EQ(order, (std::vector<std::int64_t>{50, 45, 40, 30, 10}));
}

TEST_F(FileDataset, WritesWaitForTheLocksOfASecondProcess) {
  const std::string path = Names(5);
  TTzDbf ds("A");
  ds.SetDbfFileName(path);
  ds.Open();
  struct Op {
    const char* word;
    bool append;
    std::function<void()> run;
    TTzFileDataSet::LockFailedEvent* event;
  };
  const std::vector<Op> ops = {
      {"Post", false, [&] { ds.Go(4); ds.Edit(); ds.FieldByName("NAME").SetAsString("POSTED"); ds.Post(); },
       &ds.onRLockFailedOnPost},
      {"Insert", true, [&] { ds.Append(); ds.FieldByName("NAME").SetAsString("NEW"); ds.Post(); },
       &ds.onALockFailedOnInsert},
      {"Delete", false, [&] { ds.Go(4); ds.Delete(); }, &ds.onRLockFailedOnDelete},
      {"Restore", false, [&] { ds.Go(4); ds.SetDeletedFlag(false); }, &ds.onRLockFailedOnRestore},
  };
  for (const Op& op : ops) {
    SCOPED_TRACE(op.word);
    const std::int32_t before = ds.RecCount();
    {
      LockHolder b(path, op.append);
      ASSERT_TRUE(b.locked);
      callback->events.clear();
      *op.event = nullptr;
      op.run();
      ASSERT_EQ(Boxes().size(), 1u);
      EXPECT_EQ(Boxes()[0], std::string("Sperren fehlgeschlagen [") + op.word + "]");
      if (std::string(op.word) == "Post" || std::string(op.word) == "Insert") {
        EXPECT_NE(ds.State(), DataSetState::Browse);  // the edit is kept
        ds.Cancel();
      }
      EXPECT_EQ(ds.RecCount(), before);
      // With the event: retried until the other program lets go.
      int calls = 0;
      *op.event = [&](TTzFileDataSet&, bool& retry) {
        if (++calls == 3) b.Release();
        retry = true;
      };
      callback->events.clear();
      op.run();
      EXPECT_EQ(calls, 3);
      EXPECT_TRUE(Boxes().empty());
      *op.event = nullptr;
    }
    ds.Close();
    ds.Open();
    if (std::string(op.word) == "Post") {
      ds.Go(4);
      EXPECT_EQ(ds.FieldByName("NAME").AsString(), "POSTED");
    } else if (std::string(op.word) == "Insert") {
      EXPECT_EQ(ds.RecCount(), before + 1);
    } else {
      ds.Go(4);
      EXPECT_EQ(ds.GetDeletedFlag(), std::string(op.word) == "Delete");
    }
  }
}

// Two datasets edit NUM of record 2 from the record as each read it: the
// later write overwrites only when the handler says so. A 0 typed over a
// blank keeps its mark through a refused lock and is written on the retry.
TEST_F(FileDataset, AnEditAsksBeforeOverwritingAndKeepsItsMarks) {
  const std::string path = Names(5);
  TTzDbf a("A"), b("B");
  int asked = 0;
  b.onBothChanged = [&](int field, std::string_view, std::string_view) { return field == 1 && ++asked == 2; };
  b.onRLockFailedOnPost = [](TTzFileDataSet&, bool& retry) { retry = false; };
  for (TTzDbf* ds : {&a, &b}) ds->SetDbfFileName(path), ds->Open();
  for (const int round : {1, 2}) {
    a.Go(2), b.Go(2), a.Edit(), b.Edit();
    a.FieldByName("NUM").SetAsInteger(30 + round);
    b.FieldByName("NUM").SetAsInteger(40 + round);
    a.Post(), b.Post(), a.Go(2);
    EXPECT_EQ(a.FieldByName("NUM").AsInteger(), round == 1 ? 31 : 42);
  }
  std::string bytes = ReadBytes(path);
  const std::size_t num = 97 + 3 * 16 + 11;  // record 4's NUM
  WriteBytes(path, bytes.replace(num, 5, "     "));
  b.Go(4), b.Edit(), b.FieldByName("NUM").SetAsInteger(0);
  {
    LockHolder other(path, false, 4);
    b.Post();
    EXPECT_EQ(b.State(), DataSetState::Edit);
  }
  b.Post();
  EXPECT_EQ(ReadBytes(path).substr(num, 5), "    0");
}

class BlobDataset : public DatasetTest, public ::testing::WithParamInterface<std::uint8_t> {};

TEST_P(BlobDataset, BytesRoundTripAndPeersReadThem) {
  SetNewTableVersion(GetParam());
  const std::string path = MakeTable("b.dbf", {{"NAME", 'C', 8, 0, 0}, {"NOTE", 'M', 10, 0, 0}});
  const std::string bytes = std::string("M\x81ller \x94l ") + std::string(1, '\0') + "\x1A" + "end";
  TTzDbf ds("B");
  ds.SetDbfFileName(path);
  ds.Open();
  {
    // A read stream on an empty table opens block 0: no bytes.
    TTzBlobStream empty(ds.FieldByName("NOTE"), TTzBlobStream::Mode::Read);
    EXPECT_EQ(empty.ReadAll(), "");
  }
  ds.Append();
  ds.FieldByName("NAME").SetAsString("ONE");
  {
    TTzBlobStream w(ds.FieldByName("NOTE"), TTzBlobStream::Mode::Write);
    EXPECT_EQ(w.Write(bytes.data(), static_cast<std::int32_t>(bytes.size())), static_cast<std::int32_t>(bytes.size()));
  }
  ds.Post();
  ds.Append();
  ds.FieldByName("NAME").SetAsString("TWO");
  ds.Post();
  ds.First();
  EXPECT_EQ(ds.FieldByName("NOTE").DisplayText(), "(MEMO)");
  {
    TTzBlobStream r(ds.FieldByName("NOTE"), TTzBlobStream::Mode::Read);
    EXPECT_EQ(r.ReadAll(), bytes);
  }
  ds.Next();
  EXPECT_EQ(ds.FieldByName("NOTE").DisplayText(), "(memo)");
  ds.Close();
  // dBASE III BLOB writes are block-headed, with a negated reference only
  // this engine reads; the other layouts are read by peers.
  if (HaveDbfreadPeer() && GetParam() != 0x83) {
    std::string out;
    ASSERT_EQ(RunPython(dir,
                        "import dbfread\n"
                        "t = dbfread.DBF('" + path + "', encoding='latin-1', load=True)\n"
                        "print(repr(t.records[0]['NOTE']), repr(t.records[1]['NOTE']))\n",
                        out),
              0)
        << out;
    EXPECT_EQ(out, "'M\\x81ller \\x94l \\x00\\x1aend' None\n");
  }
  // An empty write removes the reference.
  ds.Open();
  ds.First();
  { TTzBlobStream w(ds.FieldByName("NOTE"), TTzBlobStream::Mode::Write); }
  ds.Post();
  ds.Refresh();
  EXPECT_EQ(ds.FieldByName("NOTE").AsInteger(), 0);
}

INSTANTIATE_TEST_SUITE_P(Layouts, BlobDataset, ::testing::Values(0x83, 0x8B, 0xF5));

}  // namespace
}  // namespace zeb::xbase::test
