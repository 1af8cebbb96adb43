// The table window changes only the bytes the user asked for, three times
// each on a real window system: an append in a sorted view adds one blank
// record, Abbruch and the navigator's cancel give up what was typed and not
// posted, an emptied date cell stores blanks.
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>
#include <iterator>
#include <memory>
#include <vector>

#include "base/globals.h"
#include "base/services.h"
#include "desktop/desktop_program.h"
#include "xbase/dataset/filedataset.h"
#include "xbase/x1_support.h"
#include "xbase/qt/tzgrid.h"
#include "xbase/core/dates.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/index/ndx.h"
#include "xbase/full_disk.h"
#include "xbase/lock_holder.h"

namespace zeb::desktop {
namespace {

constexpr int kRuns = 3;

std::string Bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

unsigned Le(const std::string& b, std::size_t at, int n) {
  unsigned v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

// A table file's layout as its header gives it.
struct Layout {
  unsigned header = 0, length = 0, count = 0;
  // Offset in the record and length of a field.
  std::pair<unsigned, unsigned> Field(const std::string& b, const std::string& name) const {
    unsigned offset = 1;
    for (std::size_t at = 32; at + 32 <= header && b[at] != 0x0D; at += 32) {
      const unsigned len = static_cast<unsigned char>(b[at + 16]);
      if (b.compare(at, name.size() + 1, name.c_str(), name.size() + 1) == 0) return {offset, len};
      offset += len;
    }
    return {0, 0};
  }
  std::string Record(const std::string& b, unsigned n) const { return b.substr(header + (n - 1) * length, length); }
};
Layout LayoutOf(const std::string& b) { return {Le(b, 8, 2), Le(b, 10, 2), Le(b, 4, 4)}; }

// The file with the header's date of last update taken out (any write stamps
// today).
// v with the decimals, right-aligned in width, "." as the point in any locale.
std::string Fixed(double v, int width, int decimals) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  std::string s(buf, r.ptr);
  return std::string(static_cast<std::size_t>(std::max(0, width - static_cast<int>(s.size()))), ' ') + s;
}

std::string Undated(std::string b) {
  if (b.size() > 4) b.replace(1, 3, "...");
  return b;
}

// A dBase III table of a NAME of the given length and one more field
// (name, type, length, decimals) holding the given records.
std::string TwoFieldTable(const char* name, char type, int length, const std::vector<std::string>& records,
                          int nameLength = 10, int decimals = 0) {
  std::string head(32, '\0');
  head[0] = 0x03;
  head[1] = 126, head[2] = 1, head[3] = 15;
  for (int b = 0; b < 4; ++b) head[4 + b] = static_cast<char>(records.size() >> (8 * b));
  head[8] = static_cast<char>(32 + 2 * 32 + 1);
  head[10] = static_cast<char>(1 + nameLength + length);
  auto field = [](const char* n, char t, int len, int dec) {
    std::string d(32, '\0');
    d.replace(0, std::strlen(n), n);
    d[11] = t;
    d[16] = static_cast<char>(len);
    d[17] = static_cast<char>(dec);
    return d;
  };
  std::string bytes = head + field("NAME", 'C', nameLength, 0) + field(name, type, length, decimals) + '\x0D';
  for (const std::string& r : records) bytes += r;
  return bytes + '\x1A';
}

// n records NAME C(20) "Satz i", D N(8,2) i / 100.
std::string NumberedTable(int n) {
  std::vector<std::string> records;
  char r[40];
  for (int i = 1; i <= n; ++i) {
    std::snprintf(r, sizeof r, " %-20s", ("Satz " + std::to_string(i)).c_str());
    records.emplace_back(r + Fixed(i / 100.0, 8, 2));
  }
  return TwoFieldTable("D", 'N', 8, records, 20, 2);
}

// The bytes with field (offset, length) of record n holding text.
std::string WithField(std::string bytes, const Layout& l, std::pair<unsigned, unsigned> field, unsigned n,
                      const std::string& text) {
  bytes.replace(l.header + (n - 1) * l.length + field.first, field.second, text);
  return bytes;
}

xbase::TTzGrid* Grid() { return ActiveModal() != nullptr ? ActiveModal()->findChild<xbase::TTzGrid*>("TzGrid1") : nullptr; }

int ColumnOf(xbase::TTzGrid* g, const char* field) {
  for (int c = 0; c < g->model()->columnCount(); ++c)
    if (g->model()->headerData(c, Qt::Horizontal).toString() == QLatin1String(field)) return c;
  return -1;
}

// The row that shows record n.
int RowOf(xbase::TTzGrid* g, int n) {
  for (int r = 0; r < g->model()->rowCount(); ++r)
    if (g->model()->index(r, 0).data(xbase::DatasetModel::RecNoRole).toInt() == n) return r;
  return -1;
}

void DoubleClickCell(xbase::TTzGrid* g, int row, int column) {
  const QModelIndex i = g->model()->index(row, column);
  g->scrollTo(i);
  const QPoint at = g->visualRect(i).center();
  QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, at);
}

void ClickIn(const char* name) { Click(Child<QWidget>(ActiveModal(), name)); }

void ClickCell(xbase::TTzGrid* g, int row, int column) {
  const QModelIndex i = g->model()->index(row, column);
  g->scrollTo(i);
  QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(i).center());
}

// With ZEB1_SCREENSHOTS set to a folder, window w as <name>.png there, for
// review (drawn at once: no events run meanwhile).
void Shoot(QWidget* w, const char* name) {
  const char* folder = std::getenv("ZEB1_SCREENSHOTS");
  if (folder == nullptr || *folder == '\0' || w == nullptr) return;
  w->grab().save(QString::fromUtf8(folder) + "/" + name + ".png");
}

// A right click on the title of field's column: the view sorted by it.
void SortBy(const char* field) {
  QHeaderView* h = Grid()->horizontalHeader();
  QTest::mouseClick(h->viewport(), Qt::RightButton, {},
                    QPoint(h->sectionViewportPosition(ColumnOf(Grid(), field)) + 5, 5));
}

// text typed into the cell of field in the row of record n, Enter.
void TypeInto(int n, const char* field, const char* text) {
  DoubleClickCell(Grid(), RowOf(Grid(), n), ColumnOf(Grid(), field));
  Type(QString::fromLatin1(text));
  Key(Qt::Key_Return);
}

xbase::TTzNavigator* Nav() { return Child<xbase::TTzNavigator>(ActiveModal(), "TzNavigator1"); }

// Where the user stands: the current cell's record and column, the
// counter, and whether the cell is marked and in sight.
std::string Where() {
  xbase::TTzGrid* g = Grid();
  const QModelIndex i = g->currentIndex();
  const bool seen = g->viewport()->rect().contains(g->visualRect(i));
  return std::to_string(i.data(xbase::DatasetModel::RecNoRole).toInt()) + " " +
         g->model()->headerData(i.column(), Qt::Horizontal).toString().toStdString() + " " +
         Child<QLabel>(ActiveModal(), "Label_recno")->text().toStdString() +
         (g->selectionModel()->isSelected(i) && seen ? " shown" : " hidden");
}

class TableEdits : public DesktopProgram {
 protected:
  // Datenbank > DIN 2076 from the waiting main window; the acts run in the
  // table window one after the other as a user's, OK or Abbruch closes it.
  bool InDin2076(const std::vector<std::function<void()>>& acts, const char* closer) {
    return InTable([this] { window_->Action("mi_dbfDIN2076")->trigger(); }, acts, closer);
  }
  // The same for a table of the table folder opened for editing.
  bool InTable(const char* table, const std::vector<std::function<void()>>& acts, const char* closer) {
    return InTable(
        [table] {
          G().AbortFlag = 0;  // as a menu command starts
          Tables().EditTable(table, 0);
        },
        acts, closer);
  }
  bool InTable(const std::function<void()>& open, const std::vector<std::function<void()>>& acts,
               const char* closer) {
    UserScript s;
    s.Then("main window", [this] { return MainWindowWaits(); }, open);
    for (const auto& act : acts)
      s.Then("table window", [] { return ModalUp("dbf4") != nullptr && Grid() != nullptr; }, act);
    s.Then("close", [] { return ModalUp("dbf4") != nullptr; }, [closer] { ClickIn(closer); });
    s.Then("closed", [this] { return MainWindowWaits(); }, [] {});
    return s.Run();
  }
  const fs::path din2076_ = PrivateRun::Get().dbf / "din2076.dbf";
};

// Sort by TOLB, TOLC of record 3 typed and entered, Bearbeiten > Append,
// OK: record 3 holds the value, one blank record more, nothing else moved.
TEST_F(TableEdits, AppendInASortedViewAddsOneBlankRecord) {
  Start("table_material.zeb");
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const std::string before = Bytes(din2076_);
    const Layout l = LayoutOf(before);
    EXPECT_TRUE(InDin2076({[] {
                             xbase::TTzGrid* g = Grid();
                             QHeaderView* h = g->horizontalHeader();
                             QTest::mouseClick(h->viewport(), Qt::RightButton, {},
                                               QPoint(h->sectionViewportPosition(ColumnOf(g, "TOLB")) + 5, 5));
                           },
                           [] { DoubleClickCell(Grid(), RowOf(Grid(), 3), ColumnOf(Grid(), "TOLC")); },
                           [] {
                             Type("0.005");
                             Key(Qt::Key_Return);
                           },
                           [] { ActiveModal()->findChild<QAction*>("mi_editAppend")->trigger(); }},
                          "Button_ok"));
    const std::string after = Bytes(din2076_);
    ASSERT_EQ(LayoutOf(after).count, l.count + 1);
    const auto [off, len] = l.Field(before, "TOLC");
    ASSERT_GT(len, 0u);
    std::string expected = before.substr(0, before.size() - 1);  // without the end mark
    expected.replace(l.header + 2 * l.length + off, len, Fixed(0.005, static_cast<int>(len), 3));
    expected += std::string(l.length, ' ') + '\x1A';
    expected.replace(4, 4, after.substr(4, 4));
    EXPECT_EQ(Undated(after), Undated(expected));
  }
}

// Abbruch gives up (a) a cell typed without Enter, (b) a new row typed with
// Enter; (c) the navigator's cancel gives up a cell of an edit begun with
// its pencil, and OK afterwards writes nothing.
TEST_F(TableEdits, CancelGivesUpWhatWasNotPosted) {
  Start("table_material.zeb");
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const std::string before = Bytes(din2076_);
    EXPECT_TRUE(InDin2076({[] { DoubleClickCell(Grid(), 1, ColumnOf(Grid(), "TOLB")); }, [] { Type("0.099"); }},
                          "Button_cancel"));
    EXPECT_EQ(Bytes(din2076_), before);
    EXPECT_TRUE(InDin2076({[] {
                             Grid()->setFocus(Qt::OtherFocusReason);
                             Key(Qt::Key_End, Qt::ControlModifier);
                             Key(Qt::Key_Down);
                           },
                           [] {
                             Type("35");
                             Key(Qt::Key_Return);
                           }},
                          "Button_cancel"));
    EXPECT_EQ(Bytes(din2076_), before);
    auto nav = [] { return Child<xbase::TTzNavigator>(ActiveModal(), "TzNavigator1"); };
    EXPECT_TRUE(InDin2076({[&] {
                             Grid()->setCurrentIndex(Grid()->model()->index(2, 0));
                             Click(nav()->Button("nbEdit"));
                           },
                           [] { DoubleClickCell(Grid(), 2, ColumnOf(Grid(), "TOLC")); }, [] { Type("0.777"); },
                           [&] { Click(nav()->Button("nbCancel")); }},
        "Button_ok"));
    EXPECT_EQ(Bytes(din2076_), before);
  }
}

// A value entered into a cell of record 2 waits in the record, shown by the
// grid: Abbruch gives it up; leaving the row (Down) writes exactly that
// field, once, and the Abbruch after it keeps it; OK writes it too.
TEST_F(TableEdits, AnEnteredValueIsPostedWhenTheRecordIsLeftOrOk) {
  Start("table_material.zeb");
  const std::string original = Bytes(din2076_);
  const Layout l = LayoutOf(original);
  const auto [off, len] = l.Field(original, "TOLB");
  ASSERT_GT(len, 0u);
  std::string changed = original;
  changed.replace(l.header + l.length + off, len, Fixed(0.099, static_cast<int>(len), 3));
  ASSERT_NE(changed, original);
  const auto enter = [] {
    DoubleClickCell(Grid(), RowOf(Grid(), 2), ColumnOf(Grid(), "TOLB"));
    Type("0.099");
    Key(Qt::Key_Return);
  };
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    QString shown;
    std::string pending;
    EXPECT_TRUE(InDin2076({enter, [&] {
                             shown = Grid()->model()->index(RowOf(Grid(), 2), ColumnOf(Grid(), "TOLB")).data().toString();
                             pending = Bytes(din2076_);
                           }},
                          "Button_cancel"));
    EXPECT_EQ(shown.trimmed(), QStringLiteral("0.099"));
    EXPECT_EQ(pending, original);
    EXPECT_EQ(Bytes(din2076_), original);
    std::string left;
    EXPECT_TRUE(InDin2076({enter, [] { Key(Qt::Key_Down); }, [&] { left = Bytes(din2076_); }}, "Button_cancel"));
    EXPECT_EQ(Undated(left), Undated(changed));
    EXPECT_EQ(Undated(Bytes(din2076_)), Undated(left));
    { std::ofstream(din2076_, std::ios::binary) << original; }
    EXPECT_TRUE(InDin2076({enter}, "Button_ok"));
    EXPECT_EQ(Undated(Bytes(din2076_)), Undated(changed));
    { std::ofstream(din2076_, std::ios::binary) << original; }
  }
}

// A logical cell toggled by a click waits like any other: Abbruch gives it
// up, leaving the row or OK writes just that byte.
TEST_F(TableEdits, AToggledLogicalWaitsForThePost) {
  const fs::path table = PrivateRun::Get().dbf / "flagged.dbf";
  const std::string bytes = TwoFieldTable("FERTIG", 'L', 1, {" Probe     F", " Zweite    ?"});
  std::string toggled = bytes;
  toggled[bytes.size() - 14] = 'T';
  const auto toggle = [] {
    const QModelIndex i = Grid()->model()->index(RowOf(Grid(), 1), ColumnOf(Grid(), "FERTIG"));
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, Grid()->visualRect(i).center());
  };
  Start("table_material.zeb");
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    { std::ofstream(table, std::ios::binary) << bytes; }
    EXPECT_TRUE(InTable("flagged", {toggle}, "Button_cancel"));
    EXPECT_EQ(Bytes(table), bytes);
    EXPECT_TRUE(InTable("flagged", {toggle, [] { Key(Qt::Key_Down); }}, "Button_cancel"));
    EXPECT_EQ(Undated(Bytes(table)), Undated(toggled));
    { std::ofstream(table, std::ios::binary) << bytes; }
    EXPECT_TRUE(InTable("flagged", {toggle}, "Button_ok"));
    EXPECT_EQ(Undated(Bytes(table)), Undated(toggled));
  }
}

// A table of one record with a date: the date cell emptied (select all,
// Backspace, Enter) and OK store 8 blanks and change nothing else.
TEST_F(TableEdits, AnEmptiedDateCellStoresBlanks) {
  const fs::path table = PrivateRun::Get().dbf / "dated.dbf";
  const std::string bytes = TwoFieldTable("DATUM", 'D', 8, {" Probe     20260115"});
  Start("table_material.zeb");
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    { std::ofstream(table, std::ios::binary) << bytes; }
    UserScript s;
    s.Then("main window", [this] { return MainWindowWaits(); }, [] { Tables().EditTable("dated", 0); });
    s.Then("table window", [] { return ModalUp("dbf4") != nullptr && Grid() != nullptr; }, [run] {
      xbase::TTzGrid* g = Grid();
      if (run == 0) Shoot(ActiveModal(), "tdbf4_date_column");
      // The date column shows the whole date in the locale's format.
      const QString shown = g->model()->index(0, ColumnOf(g, "DATUM")).data().toString();
      EXPECT_EQ(shown.size(), static_cast<int>(xbase::DbfToDate("20260115").size()));
      EXPECT_GE(g->columnWidth(ColumnOf(g, "DATUM")), g->fontMetrics().horizontalAdvance(shown) + 5) << shown.toStdString();
      DoubleClickCell(g, 0, ColumnOf(g, "DATUM"));
      Key(Qt::Key_A, Qt::ControlModifier);
      Key(Qt::Key_Backspace);
      Key(Qt::Key_Return);
    });
    s.Then("close", [] { return ModalUp("dbf4") != nullptr; }, [] { ClickIn("Button_ok"); });
    s.Then("closed", [this] { return MainWindowWaits(); }, [] {});
    EXPECT_TRUE(s.Run());
    std::string expected = bytes;
    expected.replace(bytes.size() - 9, 8, 8, ' ');
    EXPECT_EQ(Undated(Bytes(table)), Undated(expected));
  }
}


// 300 and 100,000 records, physical and sorted by NAME: after ▶| or
// Ctrl+End the last record is current and shown in the user's column,
// Ctrl+Home the first; what is typed there lands there; a cell typed
// without Enter is handed in by ▶| and |◀.
TEST_F(TableEdits, TheLastRecordIsShownAndTypedIntoAtAnySize) {
  const fs::path table = PrivateRun::Get().dbf / "din2077.dbf";
  Start("table_material.zeb");
  const auto clickD = [](int record) { return [record] { ClickCell(Grid(), RowOf(Grid(), record), ColumnOf(Grid(), "D")); }; };
  const auto key = [](Qt::Key k) { return [k] { Key(k, k == Qt::Key_Up ? Qt::NoModifier : Qt::ControlModifier); }; };
  const auto type = [](const char* text) { return [text] { Type(text); Key(Qt::Key_Return); }; };
  const auto sort = [] {
    QHeaderView* h = Grid()->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::RightButton, {}, QPoint(h->sectionViewportPosition(0) + 5, 5));
  };
  for (const int n : {300, 100000}) {
    const std::string bytes = NumberedTable(n), m = "/" + std::to_string(n) + " shown";
    const Layout l = LayoutOf(bytes);
    const auto d = l.Field(bytes, "D");
    const int sortedLast = n == 300 ? 99 : 99999;  // "Satz 99", "Satz 99999"
    std::vector<std::string> seen;
    const auto note = [&seen] { seen.push_back(Where()); };
    const std::vector<std::pair<std::vector<std::function<void()>>, std::string>> runs = {
        {{clickD(3), [] { Click(Nav()->Button("nbLast")); }, note, type("9"), key(Qt::Key_Up)},
         WithField(bytes, l, d, n, "    9.00")},
        {{clickD(3), key(Qt::Key_End), note, type("7"), key(Qt::Key_Home), note, type("5")},
         WithField(WithField(bytes, l, d, n, "    7.00"), l, d, 1, "    5.00")},
        {{sort, clickD(1), key(Qt::Key_End), note, type("8")}, WithField(bytes, l, d, sortedLast, "    8.00")},
        // Typed without Enter, then ▶| or |◀: the text is in its record.
        {{clickD(4), [] { Type("6"); }, [] { Click(Nav()->Button("nbLast")); }}, WithField(bytes, l, d, 4, "    6.00")},
        {{clickD(4), [] { Type("6"); }, [] { Click(Nav()->Button("nbFirst")); }}, WithField(bytes, l, d, 4, "    6.00")}};
    for (const auto& [acts, expected] : runs) {
      { std::ofstream(table, std::ios::binary) << bytes; }
      EXPECT_TRUE(InTable([this] { window_->Action("mi_dbfDIN2077")->trigger(); }, acts, "Button_ok"));
      EXPECT_EQ(Undated(Bytes(table)), Undated(expected)) << n << " records";
    }
    const std::string last = std::to_string(n) + " D " + std::to_string(n) + m;
    EXPECT_EQ(seen, (std::vector<std::string>{last, last, "1 D 1" + m,
                                              std::to_string(sortedLast) + " D " + std::to_string(sortedLast) + m}));
  }
}

// Two programs edit record 3 of DIN 2076, this one TOLB, another process
// TOLC; both begin before either writes. Both values are in the file
// afterwards, nothing else changed.
TEST_F(TableEdits, TwoProgramsEditTwoFieldsOfOneRecord) {
  Start("table_material.zeb");
  const std::string original = Bytes(din2076_);
  const Layout l = LayoutOf(original);
  int to[2], from[2];
  ASSERT_EQ(::pipe(to) | ::pipe(from), 0);
  char c = 'g';
  const pid_t peer = ::fork();
  if (peer == 0) {
    // The other program: the same engine on the file, no window.
    int code = 1;
    try {
      xbase::SetTzCallback(nullptr);
      xbase::TTzDbf other("OTHER");
      other.SetDbfFileName(din2076_.string());
      other.SetActive(true);
      other.Go(3);
      other.Edit();
      other.FieldByName("TOLC").SetText("0.03");
      if (::write(from[1], &c, 1) == 1 && ::read(to[0], &c, 1) == 1) other.Post();
      code = other.State() == xbase::DataSetState::Browse ? 0 : 2;
    } catch (...) {
      code = 3;
    }
    ::_exit(code);
  }
  EXPECT_TRUE(InDin2076({[] { DoubleClickCell(Grid(), RowOf(Grid(), 3), ColumnOf(Grid(), "TOLB")); },
                         [] { Type("0.033"); Key(Qt::Key_Return); },
                         [&] { EXPECT_EQ(::read(from[0], &c, 1), 1); },  // it has begun
                         [] { Key(Qt::Key_Down); }},
                        "Button_ok"));
  EXPECT_EQ(::write(to[1], &c, 1), 1);  // it writes after this one did
  int status = -1;
  ASSERT_EQ(::waitpid(peer, &status, 0), peer);
  EXPECT_EQ(status, 0);
  for (int fd : {to[0], to[1], from[0], from[1]}) ::close(fd);
  const auto b = l.Field(original, "TOLB"), tc = l.Field(original, "TOLC");
  const std::string tolb = Fixed(0.033, static_cast<int>(b.second), 3), tolc = Fixed(0.03, static_cast<int>(tc.second), 3);
  EXPECT_EQ(Undated(Bytes(din2076_)), Undated(WithField(WithField(original, l, b, 3, tolb), l, tc, 3, tolc)));
}

// Datei > Append dbf of a copy of the material table: each appended record
// is its source byte for byte, and dbfread reads both alike (blank numbers
// and "?" logicals as None).
TEST_F(TableEdits, AppendDbfKeepsEveryFieldAsStored) {
  const fs::path table = PrivateRun::Get().dbf / "zebwst.dbf", copy = PrivateRun::Get().work / "zebwst_copy.dbf";
  Start("table_material.zeb");
  const std::string original = Bytes(table);
  { std::ofstream(copy, std::ios::binary) << original; }
  UserScript s;
  s.Then("main window", [this] { return MainWindowWaits(); }, [] { Tables().EditTable("zebwst", 0); });
  s.Then("table window", [] { return ModalUp("dbf4") != nullptr && Grid() != nullptr; },
         [] { ActiveModal()->findChild<QAction*>("mi_fileAppenddbf")->trigger(); });
  s.Then("file chooser", [] { return qobject_cast<QFileDialog*>(ModalUp(nullptr)) != nullptr; }, [&copy] {
    auto* name = Child<QLineEdit>(ActiveModal(), "fileNameEdit");
    name->setText(QString::fromStdString(copy.string()));
    QTest::keyClick(name, Qt::Key_Return);
  });
  // The closing message counts the records appended.
  QString said;
  s.Then("appended", [] { return qobject_cast<QMessageBox*>(ModalUp(nullptr)) != nullptr; }, [&said] {
    said = qobject_cast<QMessageBox*>(ActiveModal())->text();
    Key(Qt::Key_Return);
  });
  s.Then("close", [] { return ModalUp("dbf4") != nullptr; }, [] { ClickIn("Button_ok"); });
  s.Then("closed", [this] { return MainWindowWaits(); }, [] {});
  ASSERT_TRUE(s.Run());
  const Layout l = LayoutOf(original);
  EXPECT_EQ(said.toStdString(), std::to_string(l.count) + " Datens\u00e4tze aus zebwst_copy.dbf an zebwst.dbf angeh\u00e4ngt.");
  const std::string after = Bytes(table), records = original.substr(l.header, std::size_t{l.count} * l.length);
  ASSERT_EQ(LayoutOf(after).count, 2 * l.count);
  EXPECT_EQ(after.substr(l.header), records + records + '\x1A');
  std::string out;
  xbase::test::ScratchDir scratch;
  ASSERT_EQ(xbase::test::RunPython(scratch,
                                   "import dbfread\nt = list(dbfread.DBF('" + table.string() +
                                       "', encoding='cp850'))\nn = len(t) // 2\n"
                                       "print(t[:n] == t[n:], sum(v is None for r in t for v in r.values()) > 0)\n",
                                   out),
            0)
      << out;
  EXPECT_EQ(out, "True True\n");  // blanks read as blanks in both halves
}

// Another program's run on the tables: a forked process with the same
// engine and no window; true when it ended without a failure.
bool InOtherProgram(const std::function<void()>& work) {
  const pid_t peer = ::fork();
  if (peer == 0) {
    int code = 1;
    try {
      xbase::SetTzCallback(nullptr);
      work();
      code = 0;
    } catch (...) {
      code = 3;
    }
    ::_exit(code);
  }
  int status = -1;
  return ::waitpid(peer, &status, 0) == peer && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The columns of DIN 2076 sorted in turn, the values typed into record 5
// and those the other party files there.
constexpr struct {
  const char* names[3] = {"D", "TOLB", "TOLC"};
  const char* typed[3] = {"55.55", "0.007", "0.008"};
  const char* filed[3] = {"66.66", "0.600", "0.700"};
  double typedValue[3] = {55.55, 0.007, 0.008}, filedValue[3] = {66.66, 0.6, 0.7};
} kSortedColumns;

// DIN 2076 sorted by each column in turn; record 5's sorted field and the
// next one typed and entered; another process writes the sorted field; a
// click on another row asks, Ja or Nein. The file then holds both typed
// values (Ja) or the other program's value beside the other typed one (Nein).
TEST_F(TableEdits, TheOverwriteQuestionKeepsTheWholeEditInAnySortOrder) {
  Start("table_material.zeb");
  const auto& [names, typed, filed, typedValue, filedValue] = kSortedColumns;
  const std::string original = Bytes(din2076_);
  for (int sorted = 0; sorted < 3; ++sorted) {
    for (const bool yes : {true, false}) {
      SCOPED_TRACE(std::string(names[sorted]) + (yes ? " Ja" : " Nein"));
      {
        std::ofstream out(din2076_, std::ios::binary | std::ios::trunc);
        out << original;
      }
      const int next = (sorted + 1) % 3;
      EXPECT_TRUE(InDin2076(
          {[&] { SortBy(names[sorted]); }, [&] { TypeInto(5, names[sorted], typed[sorted]); },
           [&] { TypeInto(5, names[next], typed[next]); },
           [&] {
             // The other program writes the sorted field of record 5.
             EXPECT_TRUE(InOtherProgram([&] {
               xbase::TTzDbf other("OTHER");
               other.SetDbfFileName(din2076_.string());
               other.SetActive(true);
               other.Go(5);
               other.Edit();
               other.FieldByName(names[sorted]).SetText(filed[sorted]);
               other.Post();
               if (other.State() != xbase::DataSetState::Browse) throw 2;
             }));
           },
           [&] {
             // The question comes inside the click: answered from the event loop.
             auto answer = std::make_shared<std::function<void(int)>>();
             *answer = [answer, yes](int left) {
               auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
               if (box != nullptr && box->text().contains(QStringLiteral("Mit Ihrer Eingabe"))) {
                 box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
                 *answer = nullptr;
               } else if (left > 0) {
                 QTimer::singleShot(20, [answer, left] { if (*answer) (*answer)(left - 1); });
               } else {
                 ADD_FAILURE() << "no overwrite question";
               }
             };
             QTimer::singleShot(20, [answer] { if (*answer) (*answer)(500); });
             const int row = RowOf(Grid(), 5);
             ClickCell(Grid(), row == 14 ? 13 : 14, 0);
           }},
          "Button_ok"));
      std::string out;
      xbase::test::ScratchDir scratch;
      ASSERT_EQ(xbase::test::RunPython(scratch,
                                       "import dbfread\nt = list(dbfread.DBF('" + din2076_.string() +
                                           "'))\nprint('%.3f %.3f %d' % (t[4]['" + names[sorted] + "'], t[4]['" +
                                           names[next] + "'], len(t)))\n",
                                       out),
                0)
          << out;
      const double first = yes ? typedValue[sorted] : filedValue[sorted];
      EXPECT_EQ(out, Fixed(first, 0, 3) + " " + Fixed(typedValue[next], 0, 3) + " " +
                         std::to_string(LayoutOf(original).count) + "\n");
    }
  }
}

// A second window of this program on a table: a forked process with the
// table window's dataset (an order of its own in a folder of its own),
// sorted by field, that writes value into record 5's field, stands on
// record 12 and keeps the table open until it goes.
class SecondWindow {
 public:
  SecondWindow(const fs::path& table, const char* field, const char* value) {
    const fs::path folder = PrivateRun::Get().tmp / "second";
    fs::create_directories(folder);
    if (::pipe(to_) != 0 || ::pipe(from_) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      char c = 'F';
      try {
        xbase::SetTzCallback(nullptr);
        xbase::TTzDbf b("B");
        b.ownIndex = true;
        b.keepEditOnFailure = true;
        b.SetDbfFileName(table.string());
        b.SetActive(true);
        const std::string index = (folder / "$tlmtemp.ndx").string();
        b.IndexOn(field, index);
        b.SetIndexToLFN(index, 1);
        b.Go(5);
        b.Edit();
        b.FieldByName(field).SetText(value);
        b.Post();
        b.Go(12);
        if (b.State() == xbase::DataSetState::Browse) c = 'W';
        (void)!::write(from_[1], &c, 1);
        (void)!::read(to_[0], &c, 1);
        b.Close();
      } catch (...) {
        (void)!::write(from_[1], &c, 1);
      }
      ::_exit(0);
    }
    char c = 0;
    wrote = ::read(from_[0], &c, 1) == 1 && c == 'W';
  }
  ~SecondWindow() {
    char c = 'q';
    (void)!::write(to_[1], &c, 1);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    for (int fd : {to_[0], to_[1], from_[0], from_[1]}) ::close(fd);
  }
  SecondWindow(const SecondWindow&) = delete;
  SecondWindow& operator=(const SecondWindow&) = delete;
  bool wrote = false;

 private:
  int to_[2] = {-1, -1}, from_[2] = {-1, -1};
  pid_t pid_ = -1;
};

// Two windows of this program on DIN 2076, both sorted by one column, for
// every column and every answer: this window types record 5's sorted field
// and the next one, the second window writes the sorted field of record 5
// and keeps the table open, a click on another row asks. Ja writes both
// typed values, Nein the second window's beside the next typed one (the
// file holds exactly that, the grid is sorted, no other box comes);
// Abbrechen writes nothing and keeps the edit in its row, which stays the
// current, marked row with the counter on it.
TEST_F(TableEdits, TwoWindowsOfTheProgramEditOneRecordInAnySortOrder) {
  Start("table_material.zeb");
  const auto& [names, typed, filed, typedValue, filedValue] = kSortedColumns;
  const std::string original = Bytes(din2076_);
  const Layout l = LayoutOf(original);
  for (int sorted = 0; sorted < 3; ++sorted) {
    for (const QMessageBox::StandardButton answer : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
      SCOPED_TRACE(std::string(names[sorted]) + " " + std::to_string(answer));
      { std::ofstream(din2076_, std::ios::binary | std::ios::trunc) << original; }
      const int next = (sorted + 1) % 3;
      std::unique_ptr<SecondWindow> second;
      std::vector<std::string> asked, other;
      std::string where, rowShows;
      bool inOrder = true;
      std::string order;
      EXPECT_TRUE(InDin2076(
          {[&] { SortBy(names[sorted]); }, [&] { TypeInto(5, names[sorted], typed[sorted]); },
           [&] { TypeInto(5, names[next], typed[next]); },
           [&] {
             second = std::make_unique<SecondWindow>(din2076_, names[sorted], filed[sorted]);
             EXPECT_TRUE(second->wrote);
           },
           [&] {
             // Every box that comes inside the click is answered from the event loop.
             auto respond = std::make_shared<std::function<void(int)>>();
             *respond = [respond, answer, &asked, &other](int left) {
               auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
               if (box != nullptr && box->text().contains(QStringLiteral("Mit Ihrer Eingabe"))) {
                 asked.push_back(box->text().toStdString());
                 box->button(answer)->click();
                 *respond = nullptr;
               } else if (box != nullptr) {
                 other.push_back(box->text().toStdString());
                 box->button(QMessageBox::Ok) != nullptr ? box->button(QMessageBox::Ok)->click() : box->reject();
                 QTimer::singleShot(20, [respond, left] { if (*respond) (*respond)(left - 1); });
               } else if (left > 0) {
                 QTimer::singleShot(20, [respond, left] { if (*respond) (*respond)(left - 1); });
               }
             };
             QTimer::singleShot(20, [respond] { if (*respond) (*respond)(500); });
             const int row = RowOf(Grid(), 5);
             ClickCell(Grid(), row == 14 ? 13 : 14, 0);
           },
           // The rows are found again in their new order once the click is done.
           [] {}, [] {},
           [&] {
             where = Where();
             xbase::TTzGrid* g = Grid();
             const int row = RowOf(g, 5);
             rowShows = g->model()->index(row, ColumnOf(g, names[sorted])).data().toString().trimmed().toStdString() +
                        " " + g->model()->index(row, ColumnOf(g, names[next])).data().toString().trimmed().toStdString();
             // The rows follow the sorted field as the file holds it (a row
             // whose edit waits shows the edit).
             double last = -1;
             for (int r = 0; r < g->model()->rowCount(); ++r) {
               if (answer == QMessageBox::Cancel && r == row) continue;
               // The decimal character of the locale's format read as a point.
               const double v = g->model()->index(r, ColumnOf(g, names[sorted])).data().toString().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
               inOrder = inOrder && v >= last;
               if (v < last) order += std::to_string(v) + "<" + std::to_string(last) + " in " + names[sorted] + ": ";
               if (v < last)
                 for (int q = r - 1; q <= r; ++q)
                   for (int c = 0; c < g->model()->columnCount(); ++c)
                     order += g->model()->headerData(c, Qt::Horizontal).toString().toStdString() + "=" +
                              g->model()->index(q, c).data().toString().toStdString() + (c + 1 == g->model()->columnCount() ? "; " : " ");
               last = v;
             }
           }},
          answer == QMessageBox::Cancel ? "Button_cancel" : "Button_ok"));
      second.reset();
      EXPECT_EQ(asked.size(), 1u);
      EXPECT_TRUE(other.empty()) << other.front();
      EXPECT_TRUE(inOrder) << order;
      const auto field = [&](const char* name, double v) {
        const auto f = l.Field(original, name);
        return std::make_pair(f, Fixed(v, static_cast<int>(f.second), name == std::string("D") ? 2 : 3));
      };
      const auto [fs, sortedText] = field(names[sorted], answer == QMessageBox::Yes ? typedValue[sorted] : filedValue[sorted]);
      const auto [fn, nextText] = field(names[next], typedValue[next]);
      std::string expected = WithField(original, l, fs, 5, sortedText);
      if (answer != QMessageBox::Cancel) expected = WithField(expected, l, fn, 5, nextText);
      EXPECT_EQ(Undated(Bytes(din2076_)), Undated(expected));
      if (answer == QMessageBox::Cancel) {
        // The edit stays in its row, which the user stands on.
        EXPECT_EQ(rowShows, std::string(typed[sorted]) + " " + typed[next]);
        EXPECT_EQ(where.substr(0, where.find(' ')), "5");
        EXPECT_NE(where.find(" 5/"), std::string::npos) << where;
        EXPECT_NE(where.find("shown"), std::string::npos) << where;
      }
    }
  }
}

// What dbfread makes of a table: the printed value of a Python expression
// over t, the list of its records.
std::string Peer(const fs::path& table, const std::string& expression) {
  std::string out;
  xbase::test::ScratchDir scratch;
  EXPECT_EQ(xbase::test::RunPython(scratch,
                                   "import dbfread\nt = list(dbfread.DBF('" + table.string() +
                                       "', encoding='cp850'))\nprint(" + expression + ")\n",
                                   out),
            0)
      << out;
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// The table window's roads with the program's messages between the acts:
// each step waits for the table window or for a message box.
class TableRoads : public TableEdits {
 protected:
  struct Step {
    bool box;
    std::function<void()> act;
  };
  // The box's text noted, then the button b if the box has it, else OK.
  Step Answer(QMessageBox::StandardButton b, const char* shot = nullptr) {
    return {true, [this, b, shot] {
              auto* box = qobject_cast<QMessageBox*>(ActiveModal());
              said.push_back(box->text().toStdString());
              if (shot != nullptr) Shoot(box, shot);
              QAbstractButton* button = box->button(b);
              Click(button != nullptr ? button : box->button(QMessageBox::Ok));
            }};
  }
  static Step InWindow(std::function<void()> act) { return {false, std::move(act)}; }
  // + on the navigator, a click in the new row's D, 1.25 Tab 0.125 Enter.
  static void NewRowTyped(std::vector<Step>& steps) {
    steps.push_back(InWindow([] {
      Click(Nav()->Button("nbInsert"));
      ClickCell(Grid(), Grid()->model()->rowCount() - 1, ColumnOf(Grid(), "D"));
    }));
    steps.push_back(InWindow([] {
      Type("1.25");
      Key(Qt::Key_Tab);
      Type("0.125");
      Key(Qt::Key_Return);
    }));
  }
  bool Road(const std::function<void()>& open, const std::vector<Step>& steps, const char* closer) {
    UserScript s;
    s.Then("main window", [this] { return MainWindowWaits(); }, open);
    for (const Step& step : steps) {
      if (step.box)
        s.Then("message", [] { return qobject_cast<QMessageBox*>(ModalUp(nullptr)) != nullptr; }, step.act);
      else
        s.Then("table window", [] { return ModalUp("dbf4") != nullptr && Grid() != nullptr; }, [act = step.act] {
          // What the window still has queued after a box (a closed
          // editor's deletion) is done first, as before a user's next key.
          QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
          QApplication::processEvents();
          act();
        });
    }
    s.Then("close", [] { return ModalUp("dbf4") != nullptr; }, [closer] { ClickIn(closer); });
    s.Then("closed", [this] { return MainWindowWaits(); }, [] {});
    return s.Run();
  }
  std::vector<std::string> said;
};

// Datenbank > DIN 2077 of 307 records: + , 1.25 Tab 0.125 Enter, handed in
// by the check button or a click on row 9 while the disk is full, or by the
// check button while another program holds the append lock (Abbrechen).
// After the message the typed row is still there and current; with room
// again a click on row 9 writes it and stands on and marks the record row 9
// shows, still in row 9 (counter included); 66 typed there lands in that
// record alone. Any Qt warning (an invalid row index) fails the test.
TEST_F(TableRoads, AFailedNewRowStaysAndTheNextKeysGoWhereTheGridStands) {
  const fs::path table = PrivateRun::Get().dbf / "din2077.dbf";
  Start("table_material.zeb");
  for (const int road : {0, 1, 2}) {
    const bool locked = road == 2, check = road != 1;
    SCOPED_TRACE(road == 0 ? "check button, disk full" : road == 1 ? "row click, disk full" : "append lock held");
    said.clear();
    fs::remove(table);
    fs::copy_file(fs::path(ZEB1_DBF_FOLDER) / "din2077.dbf", table);
    ASSERT_TRUE(InOtherProgram([&] {
      xbase::TTzDbf fill("FILL");
      fill.SetDbfFileName(table.string());
      fill.Open();
      for (int i = fill.RecCount() + 1; i <= 307; ++i) {
        fill.Append();
        fill.FieldByName("D").SetAsString(std::to_string(100 + i) + ".25");
        fill.Post();
      }
      fill.Close();
    }));
    const std::string before = Bytes(table);
    const Layout l = LayoutOf(before);
    ASSERT_EQ(l.count, 307u);
    std::optional<test::DiskFullFrom> full;
    std::optional<xbase::test::LockHolder> holder;
    int typedRow = -1, row9 = 0;
    std::string typedRowShows, atRow9, after66;
    // Row 9 as the user counts: the ninth row from the top of the grid.
    const auto clickRow9 = [] { ClickCell(Grid(), Grid()->rowAt(1) + 8, ColumnOf(Grid(), "D")); };
    ASSERT_TRUE(Road([this] { window_->Action("mi_dbfDIN2077")->trigger(); },
                     {InWindow([&] {
                        Click(Nav()->Button("nbInsert"));
                        ClickCell(Grid(), Grid()->model()->rowCount() - 1, ColumnOf(Grid(), "D"));
                      }),
                      InWindow([&] {
                        Type("1.25");
                        Key(Qt::Key_Tab);
                        Type("0.125");
                        Key(Qt::Key_Return);
                      }),
                      InWindow([&] {
                        if (locked) {
                          holder.emplace(table.string(), true);
                          EXPECT_TRUE(holder->locked);
                        } else {
                          full.emplace(static_cast<std::int64_t>(before.size()));
                          EXPECT_TRUE(full->Active());
                        }
                        if (check)
                          Click(Nav()->Button("nbPost"));
                        else
                          clickRow9();
                      }),
                      Answer(QMessageBox::Cancel),
                      InWindow([&] {
                        full.reset();
                        if (holder) holder->Release();
                        // The typed row, current, no write.
                        xbase::TTzGrid* g = Grid();
                        const int last = g->model()->rowCount() - 1;
                        typedRow = g->currentIndex().row() == last ? last : -1;
                        typedRowShows = g->model()->index(last, 0).data().toString().trimmed().toStdString() + " " +
                                        g->model()->index(last, 1).data().toString().trimmed().toStdString() + " " +
                                        Child<QLabel>(ActiveModal(), "Label_recno")->text().toStdString();
                        EXPECT_EQ(Bytes(table), before);
                        row9 = g->model()->index(g->rowAt(1) + 8, 0).data(xbase::DatasetModel::RecNoRole).toInt();
                        clickRow9();
                      }),
                      InWindow([&] {
                        atRow9 = Where();
                        // Row 9 still shows it.
                        EXPECT_EQ(Grid()->model()->index(Grid()->rowAt(1) + 8, 0).data(xbase::DatasetModel::RecNoRole).toInt(), row9);
                        Type("66");
                        Key(Qt::Key_Return);
                      }),
                      InWindow([&] { after66 = Where(); })},
                     "Button_ok"));
    holder.reset();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find(locked ? "gesperrt" : "zulässige Dateigröße"), std::string::npos) << said[0];
    EXPECT_GE(typedRow, 0) << "the typed row is not the current one";
    EXPECT_EQ(typedRowShows, "1.25 0.125 0/307");  // a new record has no number yet
    ASSERT_GT(row9, 0);
    const std::string here = std::to_string(row9) + " D " + std::to_string(row9) + "/308 shown";
    EXPECT_EQ(atRow9, here);
    EXPECT_EQ(after66, here);
    // Record row9 holds 66, the typed row is the last record, nothing else moved.
    std::string expected = WithField(before.substr(0, before.size() - 1), l, l.Field(before, "D"),
                                     static_cast<unsigned>(row9), Fixed(66, 6, 2));
    expected += " " + Fixed(1.25, 6, 2) + Fixed(0.125, 6, 3) + '\x1A';
    const std::string after = Bytes(table);
    expected.replace(4, 4, after.substr(4, 4));
    EXPECT_EQ(Undated(after), Undated(expected));
    EXPECT_EQ(Peer(table, "len(t), t[-1]['D'], t[-1]['TOL'], t[" + std::to_string(row9 - 1) + "]['D']"),
              "308 1.25 0.125 66.0");
  }
}

// DIN 2076 with one record of a cut append past its header's count:
// Abbrechen on the repair question, then Bearbeiten > Append (asked again,
// Abbrechen) and a new row typed and handed in with the check button are
// refused with the reason; the file keeps every byte, the record past the
// count included.
TEST_F(TableRoads, ACutAppendLeftAsItIsIsNotWrittenOver) {
  Start("table_material.zeb");
  std::string bytes = Bytes(din2076_);
  if (!bytes.empty() && bytes.back() == '\x1A') bytes.pop_back();
  bytes += "  99.00 0.990 0.500";
  { std::ofstream(din2076_, std::ios::binary | std::ios::trunc) << bytes; }
  const std::string count = Peer(din2076_, "len(t)");
  std::string kept;
  EXPECT_TRUE(Road([this] { window_->Action("mi_dbfDIN2076")->trigger(); },
                   {Answer(QMessageBox::Cancel),
                    InWindow([] { ActiveModal()->findChild<QAction*>("mi_editAppend")->trigger(); }),
                    Answer(QMessageBox::Cancel), Answer(QMessageBox::Ok), InWindow([] {
                      Click(Nav()->Button("nbInsert"));
                      ClickCell(Grid(), Grid()->model()->rowCount() - 1, ColumnOf(Grid(), "D"));
                    }),
                    InWindow([] {
                      Type("5.5");
                      Key(Qt::Key_Return);
                    }),
                    InWindow([] { Click(Nav()->Button("nbPost")); }),
                    Answer(QMessageBox::Ok), InWindow([&] {
                      xbase::TTzGrid* g = Grid();
                      const int last = g->model()->rowCount() - 1;
                      kept = std::to_string(last - g->currentIndex().row()) + " " +
                             g->model()->index(last, ColumnOf(g, "D")).data().toString().trimmed().toStdString();
                    })},
                   "Button_cancel"));
  ASSERT_EQ(said.size(), 4u);
  for (int i : {0, 1}) EXPECT_NE(said[i].find("abgebrochenen"), std::string::npos) << said[i];
  for (int i : {2, 3}) EXPECT_NE(said[i].find("es wird nichts angeh"), std::string::npos) << said[i];
  EXPECT_EQ(kept, "0 5.5") << "the typed row is gone";
  EXPECT_EQ(Bytes(din2076_), bytes);
  EXPECT_EQ(Peer(din2076_, "len(t)"), count);
}

// A table with memos, two of its three records deleted, packed while the
// disk is full from 600 bytes on (the packed records fit, the memo file's
// packed copy does not) or from 100 bytes on (the table's packed copy does
// not): the message names the file that could not be written
// and says that the table and its memo file are unchanged; both are byte
// for byte as before. With room again Pack packs both whole.
TEST_F(TableRoads, PackOnAFullDiskLeavesTableAndMemoFileAsTheyWere) {
  const fs::path table = PrivateRun::Get().dbf / "notizen.dbf", memo = PrivateRun::Get().dbf / "notizen.dbt";
  Start("table_material.zeb");
  const std::string text(1500, 'm');
  for (const std::int64_t limit : {600, 100}) {
    SCOPED_TRACE("full from " + std::to_string(limit));
    said.clear();
    fs::remove(table);
    fs::remove(memo);
    ASSERT_TRUE(InOtherProgram([&] {
      xbase::DbfTable t;
      xbase::CreateDbf(t, table.string(), {{"NAME", 'C', 10, 0, 0}, {"NOTE", 'M', 10, 0, 0}});
      xbase::TTzDbf fill("FILL");
      fill.SetDbfFileName(table.string());
      fill.Open();
      for (int i = 1; i <= 3; ++i) {
        fill.Append();
        fill.FieldByName("NAME").SetAsString("N" + std::to_string(i));
        const std::string note = "N" + std::to_string(i) + " " + text;
        xbase::TTzBlobStream(fill.FieldByName("NOTE"), xbase::TTzBlobStream::Mode::Write)
            .Write(note.data(), static_cast<std::int32_t>(note.size()));
        fill.Post();
      }
      fill.Go(1), fill.Delete(), fill.Go(2), fill.Delete();
      fill.Close();
    }));
    ASSERT_EQ(Peer(table, "len(t)"), "1");  // dbfread skips deleted records
    const std::string tableBefore = Bytes(table), memoBefore = Bytes(memo);
    std::optional<test::DiskFullFrom> full;
    ASSERT_TRUE(Road(
        [] {
          G().AbortFlag = 0;
          Tables().EditTable("notizen", 0);
        },
        {InWindow([&] {
           full.emplace(limit);
           EXPECT_TRUE(full->Active());
           ActiveModal()->findChild<QAction*>("mi_editPack")->trigger();
         }),
         Answer(QMessageBox::Ok), InWindow([&] { full.reset(); })},
        "Button_ok"));
    full.reset();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find(limit == 600 ? "notizen.dbt" : "notizen.dbf"), std::string::npos) << said[0];
    EXPECT_NE(said[0].find("Pack ist nicht beendet; die Tabelle und ihre Memodatei sind unver\u00e4ndert."),
              std::string::npos)
        << said[0];
    EXPECT_EQ(said[0].find(".~zeb1~"), std::string::npos) << said[0];
    EXPECT_EQ(Bytes(table), tableBefore);
    EXPECT_EQ(Bytes(memo), memoBefore);
    // With room again.
    ASSERT_TRUE(Road(
        [] {
          G().AbortFlag = 0;
          Tables().EditTable("notizen", 0);
        },
        {InWindow([] { ActiveModal()->findChild<QAction*>("mi_editPack")->trigger(); })}, "Button_ok"));
    EXPECT_TRUE(said.size() == 1u);
    EXPECT_EQ(LayoutOf(Bytes(table)).count, 1u);
    EXPECT_LT(Bytes(memo).size(), memoBefore.size());
    EXPECT_EQ(Peer(table, "len(t), t[0]['NAME'], t[0]['NOTE'] == 'N3 ' + 'm' * 1500"), "1 N3 True");
  }
}

// The refused writes of the table window, each followed by typed keys and
// a click: a new row left by a click on row 9 while another program holds
// the append lock (Abbrechen) or the disk is full, an edit of record 3 left
// by a click on row 9, by Down or by the check button while another program
// holds its record lock (Abbrechen). After the message the marked cell is
// the current one, the counter names its record, and 66 typed there lands
// in that cell; with the lock gone or room again, a click on row 9 writes
// the waiting record and 77 typed there lands in the record row 9 shows.
TEST_F(TableRoads, AfterARefusedWriteTheKeysGoWhereTheMarkIs) {
  const fs::path table = PrivateRun::Get().dbf / "din2077.dbf";
  Start("table_material.zeb");
  const auto clickRow9 = [] { ClickCell(Grid(), Grid()->rowAt(1) + 8, ColumnOf(Grid(), "D")); };
  struct Refused {
    const char* name;
    bool newRow, full;
    int leave;  // 0 click on row 9, 1 Down, 2 check button
    bool fails = false;  // the record's write fails (EIO) instead
  };
  const Refused roads[] = {{"new row, click, append lock", true, false, 0},
                           {"new row, click, disk full", true, true, 0},
                           {"edit, click, record lock", false, false, 0},
                           {"edit, Down, record lock", false, false, 1},
                           {"edit, check button, record lock", false, false, 2},
                           {"edit, click, write fails", false, false, 0, true}};
  for (const Refused& road : roads) {
    SCOPED_TRACE(road.name);
    said.clear();
    fs::remove(table);
    fs::copy_file(fs::path(ZEB1_DBF_FOLDER) / "din2077.dbf", table);
    const std::string before = Bytes(table);
    std::optional<test::DiskFullFrom> full;
    std::optional<xbase::test::LockHolder> holder;
    std::string marked, typedAt, shownBefore;
    int markedRecord = -1, row9Record = 0;
    QModelIndex mark;
    std::vector<Step> steps;
    if (road.newRow) {
      NewRowTyped(steps);
    } else {
      steps.push_back(InWindow([] {
        DoubleClickCell(Grid(), RowOf(Grid(), 3), ColumnOf(Grid(), "D"));
        Type("3.5");
        Key(Qt::Key_Return);
      }));
    }
    steps.push_back(InWindow([&] {
      if (road.full) {
        full.emplace(static_cast<std::int64_t>(before.size()));
      } else if (road.fails) {
        xbase::SetFileFault([](xbase::FileStep, std::size_t&) { return EIO; });
      } else {
        holder.emplace(table.string(), road.newRow, 3);
        EXPECT_TRUE(holder->locked);
      }
      if (road.leave == 0) clickRow9();
      if (road.leave == 1) Key(Qt::Key_Down);
      if (road.leave == 2) Click(Nav()->Button("nbPost"));
    }));
    steps.push_back(Answer(QMessageBox::Cancel, road.fails ? "tdbf4_edit_kept" : nullptr));
    steps.push_back(InWindow([&] {
      full.reset();
      xbase::SetFileFault({});
      if (holder) holder->Release();
      xbase::TTzGrid* g = Grid();
      mark = g->currentIndex();
      // What was typed is still there.
      shownBefore = mark.data().toString().trimmed().toStdString();
      marked = Where();
      markedRecord = mark.data(xbase::DatasetModel::RecNoRole).toInt();
      // The one marked cell is the current one.
      EXPECT_EQ(g->selectionModel()->selectedIndexes().size(), 1);
      Type("66");
      Key(Qt::Key_Return);
    }));
    steps.push_back(InWindow([&] {
      typedAt = Grid()->model()->index(mark.row(), mark.column()).data().toString().trimmed().toStdString();
      row9Record = Grid()->model()->index(Grid()->rowAt(1) + 8, 0).data(xbase::DatasetModel::RecNoRole).toInt();
      clickRow9();
    }));
    steps.push_back(InWindow([] {
      Type("77");
      Key(Qt::Key_Return);
    }));
    ASSERT_TRUE(Road([this] { window_->Action("mi_dbfDIN2077")->trigger(); }, steps, "Button_ok"));
    holder.reset();
    EXPECT_EQ(said.size(), 1u);
    if (road.fails) {
      EXPECT_NE(said[0].find("bleibt in ihrer Zeile"), std::string::npos) << said[0];
    }
    EXPECT_EQ(shownBefore, road.newRow ? "1.25" : "3.5");
    // The new row (no number yet) or record 3, marked, current and counted.
    EXPECT_EQ(markedRecord, road.newRow ? 0 : 3) << marked;
    EXPECT_NE(marked.find(road.newRow ? " 0/" : " 3/"), std::string::npos) << marked;
    EXPECT_NE(marked.find("shown"), std::string::npos) << marked;
    EXPECT_DOUBLE_EQ(QString::fromStdString(typedAt).toDouble(), 66.0) << typedAt;
    ASSERT_GT(row9Record, 0);
    const std::string count = Peer(table, "len(t)");
    EXPECT_EQ(count, std::to_string(LayoutOf(before).count + (road.newRow ? 1 : 0)));
    // 66 in the cell that was marked, 77 in row 9's record.
    const std::string waiting = road.newRow ? "-1" : "2";
    EXPECT_EQ(Peer(table, "t[" + std::to_string(row9Record - 1) + "]['D']"), "77.0");
    EXPECT_NE(Peer(table, "list(t[" + waiting + "].values())").find("66.0"), std::string::npos);
  }
}

// DIN 2077 sorted by TOL; a new row 1.25 / 0.125 handed in by the check
// button or by a click on row 9, or Bearbeiten > Append, while the first
// write of the sort index fails (ENOSPC) or while the disk is full from the
// byte after the new record on (the record fits, its end mark does not).
// The message says what dbfread finds right after it: appended (and the
// grid shows the record), or none appended. With room again the row is left once more (check button or
// click), Append is tried again where nothing was appended, and OK closes
// the window: dbfread finds the new record exactly once.
TEST_F(TableRoads, ARowTheTableHoldsIsNeverAppendedAgain) {
  const fs::path table = PrivateRun::Get().dbf / "din2077.dbf";
  Start("table_material.zeb");
  const auto clickRow9 = [] { ClickCell(Grid(), Grid()->rowAt(1) + 8, ColumnOf(Grid(), "D")); };
  struct Act {
    const char* name;
    int act;  // 0 new row, check button; 1 new row, click on row 9; 2 Bearbeiten > Append
    bool endMark;  // the end mark cut instead of the index
  };
  for (const Act road : {Act{"new row, check button, index", 0, false}, Act{"new row, click, index", 1, false},
                         Act{"Append, index", 2, false}, Act{"new row, check button, end mark", 0, true},
                         Act{"new row, click, end mark", 1, true}, Act{"Append, end mark", 2, true}}) {
    SCOPED_TRACE(road.name);
    said.clear();
    fs::remove(table);
    fs::copy_file(fs::path(ZEB1_DBF_FOLDER) / "din2077.dbf", table);
    const std::string before = Bytes(table);
    const std::string count = Peer(table, "len(t)");
    std::string afterBox;
    bool shown = false;
    std::optional<test::DiskFullFrom> full;
    const auto fail = [&] {
      if (road.endMark) {
        full.emplace(static_cast<std::int64_t>(before.size() - 1 + LayoutOf(before).length));
        EXPECT_TRUE(full->Active());
      } else {
        xbase::SetIndexWriteFault(
            [failed = false](int, std::uint32_t) mutable { return std::exchange(failed, true) ? 0 : ENOSPC; });
      }
    };
    const auto append = [] { ActiveModal()->findChild<QAction*>("mi_editAppend")->trigger(); };
    const auto leave = [&] {
      if (road.act == 1)
        clickRow9();
      else
        Click(Nav()->Button("nbPost"));
    };
    std::vector<Step> steps{InWindow([] { SortBy("TOL"); })};
    if (road.act == 2) {
      steps.push_back(InWindow([&] {
        fail();
        append();
      }));
    } else {
      NewRowTyped(steps);
      steps.push_back(InWindow([&] {
        fail();
        leave();
      }));
    }
    steps.push_back(Answer(QMessageBox::Ok));
    steps.push_back(InWindow([&] {
      full.reset();
      xbase::SetIndexWriteFault({});
      afterBox = Peer(table, "len(t) - " + count);
      // A record the table holds is shown in its row.
      shown = RowOf(Grid(), std::stoi(count) + 1) >= 0;
      // The retry the message invites.
      if (road.act != 2)
        leave();
      else if (said[0].find("kein Datensatz") != std::string::npos)
        append();
    }));
    steps.push_back(InWindow([] {}));
    const bool ran = Road([this] { window_->Action("mi_dbfDIN2077")->trigger(); }, steps, "Button_ok");
    full.reset();
    xbase::SetIndexWriteFault({});
    ASSERT_TRUE(ran);
    ASSERT_GE(said.size(), 1u);
    ASSERT_TRUE(afterBox == "0" || afterBox == "1") << afterBox;
    if (afterBox == "1") {
      EXPECT_TRUE(shown) << "the appended record's row is blank or missing";
      EXPECT_NE(said[0].find("angeh\u00e4ngt"), std::string::npos) << said[0];
      EXPECT_EQ(said[0].find("kein Datensatz"), std::string::npos) << said[0];
    } else {
      EXPECT_NE(said[0].find("Es wurde kein Datensatz angeh\u00e4ngt."), std::string::npos) << said[0];
    }
    const std::string added = road.act == 2 ? "t[-1]['D'] is None and t[-1]['TOL'] is None"
                                            : "sum(1 for r in t if r['D'] == 1.25 and r['TOL'] == 0.125)";
    EXPECT_EQ(Peer(table, "len(t) - " + count + ", " + added), road.act == 2 ? "1 True" : "1 1");
  }
}

}  // namespace
}  // namespace zeb::desktop
