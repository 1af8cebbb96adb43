// A million random keys of each kind built through the work file: the
// checker finds every record once in order, and Perl's XBase::Index lists
// the same (key, record) sequence.
#include <gtest/gtest.h>

#include <charconv>
#include <fstream>

#include "test_ndx_support.h"

namespace zeb::xbase::test {
namespace {

class NdxPeer : public NdxTest {};

constexpr int kRows = 1000000;

// Appends stored records straight to a table the engine created, then
// sets its record count (dBASE III layout: count at 4, end mark 0x1A).
void AppendStored(const std::string& path, const std::string& records, std::uint32_t count) {
  std::string b = ReadBytes(path);
  if (!b.empty() && b.back() == '\x1a') b.pop_back();
  b += records;
  b += '\x1a';
  for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
  WriteBytes(path, b);
}

std::string Perl(const ScratchDir& dir, const std::string& index) {
  const std::string script = dir / "list.pl";
  WriteBytes(script,
             "use strict; use XBase::Index;\n"
             "my $i = XBase::Index->new($ARGV[0]) or die XBase::Index->errstr;\n"
             "$i->prepare_select;\n"
             "while (my @d = $i->fetch) { print \"$d[0]\\t$d[1]\\n\"; }\n");
  std::string out;
  int rc = RunCommand("perl " + ShellQuote(script) + " " + ShellQuote(index) + " 2>&1", out);
  if (rc != 0) return "perl failed: " + out.substr(0, 500);
  return out;
}

std::string Listing(const NdxReport& r) {
  std::string out;
  out.reserve(r.entries.size() * 24);
  char buf[64];
  for (const auto& e : r.entries) {
    if (r.numeric) {
      auto end = std::to_chars(buf, buf + sizeof buf, NdxKeyNumber(e.key), std::chars_format::general, 15).ptr;
      out.append(buf, end);
    } else {
      out += e.key;
    }
    out += '\t';
    out += std::to_string(e.record);
    out += '\n';
  }
  return out;
}

TEST_F(NdxPeer, MillionKeysOfEachKind) {
  std::string perlCheck;
  if (RunCommand("perl -MXBase::Index -e 1 2>&1", perlCheck) != 0)
    GTEST_SKIP() << "Perl XBase::Index (libdbd-xbase-perl) is not installed";
  const std::string table = dir / "big.dbf";
  CreateTable(table, {Fd("NAME", 'C', 10), Fd("NUM", 'N', 10), Fd("D", 'D', 8)});
  std::mt19937_64 rng(42);
  std::string records;
  records.reserve(static_cast<std::size_t>(kRows) * 29);
  std::vector<KeyRec> names, nums, dates;
  names.reserve(kRows);
  nums.reserve(kRows);
  dates.reserve(kRows);
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  for (std::uint32_t r = 1; r <= kRows; ++r) {
    std::string name;
    for (int i = 0; i < 10; ++i) name += kLetters[rng() % 52];
    const long long num = static_cast<long long>(rng() % 10001) - 5000;
    std::string date = "        ";
    double julian = 0;
    if (rng() % 10 != 0) {
      int y = 1900 + static_cast<int>(rng() % 200), m = 1 + static_cast<int>(rng() % 12), d = 1 + static_cast<int>(rng() % 28);
      char buf[16];
      std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
      date = buf;
      julian = JulianFromYMD(y, m, d);
    }
    std::string numText = std::to_string(num);
    records += (r % 97 == 0) ? '*' : ' ';  // deleted records are indexed too
    records += name;
    records += std::string(10 - numText.size(), ' ') + numText;
    records += date;
    std::string folded = name;
    for (char& c : folded)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    names.push_back({folded, r});
    nums.push_back({NumKey(static_cast<double>(num)), r});
    dates.push_back({NumKey(julian), r});
  }
  AppendStored(table, records, kRows);
  records.clear();
  records.shrink_to_fit();
  std::sort(names.begin(), names.end(), CharLess);
  std::sort(nums.begin(), nums.end(), NumLess);
  std::sort(dates.begin(), dates.end(), NumLess);

  USE(table + " EXCLUSIVE");
  ASSERT_EQ(RecCount(), kRows);
  SetIndexBuildRunItems(300000);  // four runs through the work file
  struct Kind {
    const char* expr;
    const char* file;
    const std::vector<KeyRec>* want;
  };
  for (const Kind& k : {Kind{"NAME", "name.ndx", &names}, Kind{"NUM", "num.ndx", &nums}, Kind{"D", "date.ndx", &dates}}) {
    SCOPED_TRACE(k.expr);
    const auto runs = IndexCounter().workFileRuns;
    MakeIndexExpr(k.expr, dir / k.file);
    ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
    EXPECT_GT(IndexCounter().workFileRuns, runs + 1);
    NdxReport r = CheckNdxFile(dir / k.file, {true});
    ASSERT_TRUE(r.Ok()) << r.Text();
    ASSERT_EQ(r.entries.size(), static_cast<std::size_t>(kRows));
    EXPECT_TRUE(SameEntries(Entries(r), *k.want));
    EXPECT_EQ(r.recordCount, static_cast<std::uint32_t>(kRows));
    const std::string perl = Perl(dir, dir / k.file);
    const std::string ours = Listing(r);
    ASSERT_EQ(perl.size(), ours.size()) << perl.substr(0, 300);
    EXPECT_TRUE(perl == ours);
  }
}

}  // namespace
}  // namespace zeb::xbase::test
