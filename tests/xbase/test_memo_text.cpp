// Memo text through the text interface (AddMemo, AssignMemo, MemoContains)
// in each memo layout: byte 141 is a soft line end only before a line
// feed, and the text is converted between code pages exactly when the
// table's fields are.
#include <gtest/gtest.h>

#include "test_memo_support.h"
#include "xbase/dbf/tablecmds.h"

namespace zeb::xbase::test {
namespace {

struct Layout {
  const char* name;
  std::uint8_t version;
  std::uint16_t blockSize;
};

void PrintTo(const Layout& l, std::ostream* os) { *os << l.name; }

class MemoText : public MemoTest, public ::testing::WithParamInterface<Layout> {
 protected:
  // The table of this layout (made on first use), open shared in area 1.
  void OpenTable(bool ansi) {
    if (path.empty()) path = MakeMemoTable(dir, "t.dbf", GetParam().version, GetParam().blockSize);
    SetTableIsAnsi(ansi);
    Open(path, "");
    SetTableIsAnsi(false);
  }
  std::string path;
  static std::string Written(std::int32_t block) { return std::to_string(block); }
  bool Contains(const std::string& text, std::int32_t block) { return MemoContains(TzUpper(text), Written(block)); }
};

// "così va ì" in Windows-1252 and in code page 850.
const std::string kAnsi = "cos\xEC va \xEC";
const std::string kOem = "cos\x8D va \x8D";

TEST_P(MemoText, LoneByte141IsACharacter) {
  OpenTable(false);
  const std::int32_t block = MemoHooks().AddMemo(kAnsi);
  ASSERT_NE(block, 0) << LastText();
  EXPECT_NE(Slurp(MemoPath()).find(kOem), std::string::npos);
  std::string text;
  ASSERT_TRUE(MemoHooks().AssignMemo(block, text));
  EXPECT_EQ(text, kAnsi);
  EXPECT_TRUE(Contains("s\xEC va", block));
  EXPECT_TRUE(Contains("va \xEC", block));

  // 141 10 stays a soft line end: the lines join without a break; 141
  // before CR, before 141 and at the end of the memo is a character.
  const std::int32_t soft = AddMemo("one\x8D\ntwo\x8D\r\nthree\x8D\x8D\nfour\x8D");
  ASSERT_NE(soft, 0) << LastText();
  ASSERT_TRUE(MemoHooks().AssignMemo(soft, text));
  EXPECT_EQ(text, "onetwo\xEC\r\nthree\xEC" "four\xEC");
  EXPECT_TRUE(Contains("onetwo", soft));
  EXPECT_TRUE(Contains("three\xEC" "four", soft));
}

TEST_P(MemoText, AnsiTableKeepsItsCodePage) {
  // "é" is E9 in Windows-1252 and 82 in code page 850.
  OpenTable(true);
  std::int32_t block = MemoHooks().AddMemo("caf\xE9 \xEC");
  ASSERT_NE(block, 0) << LastText();
  EXPECT_NE(Slurp(MemoPath()).find("caf\xE9 \xEC"), std::string::npos);
  std::string text;
  ASSERT_TRUE(MemoHooks().AssignMemo(block, text));
  EXPECT_EQ(text, "caf\xE9 \xEC");
  EXPECT_TRUE(Contains("caf\xE9", block));
  CloseArea();

  // The same table opened as OEM text: memo text is stored in 850.
  OpenTable(false);
  block = MemoHooks().AddMemo("caf\xE9");
  ASSERT_NE(block, 0) << LastText();
  EXPECT_NE(Slurp(MemoPath()).find("caf\x82"), std::string::npos);
  ASSERT_TRUE(MemoHooks().AssignMemo(block, text));
  EXPECT_EQ(text, "caf\xE9");
  EXPECT_TRUE(Contains("caf\xE9", block));
}

INSTANTIATE_TEST_SUITE_P(Layouts, MemoText,
                         ::testing::Values(Layout{"dBase3", 0x83, 512}, Layout{"dBase4", 0x8B, 512},
                                           Layout{"FoxPro", 0xF5, 64}),
                         [](const ::testing::TestParamInfo<Layout>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace zeb::xbase::test
