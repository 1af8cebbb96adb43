// Memo files shared with other programs: python3-dbf and dbfread read what
// we write, we read what python3-dbf (dBASE III, FoxPro) and a script of
// our own (dBASE IV, which python3-dbf refuses) write.
#include <sstream>

#include "platform/codepage.h"
#include "test_memo_support.h"
#include "xbase/core/ansi_literal.h"

namespace zeb::xbase {
namespace {

using test::MemoTest;
using zeb::CodePage;
using zeb::Cp850To1252;
using zeb::FromUtf8;

bool HavePeers() {
  std::string out;
  return test::RunCommand("/usr/bin/python3 -c 'import dbf, dbfread' 2>&1", out) == 0;
}

// The memos of the peers, as UTF-8 (python) and code page 850 (files).
const std::vector<std::string>& Texts() {
  static const std::vector<std::string> t = [] {
    std::string longer;
    for (int i = 0; i < 60; ++i) longer += "Zeile " + std::to_string(i) + " mit Überlänge\r\n";
    return std::vector<std::string>{"Grüße aus München", "Maße: 3×4\r\nÄrger, Öl, Übel\r\n", longer};
  }();
  return t;
}

std::string Oem(const std::string& utf8) { return FromUtf8(CodePage::Cp850, utf8); }

class MemoPeers : public MemoTest {
 protected:
  void SetUp() override {
    MemoTest::SetUp();
    if (!HavePeers()) GTEST_SKIP() << "python3-dbf or dbfread missing";
  }
  // The texts as a python list literal.
  static std::string PyList() {
    std::string s = "[";
    for (const auto& t : Texts()) s += "bytes.fromhex('" + test::Hex(t) + "').decode('utf-8'),";
    return s + "]";
  }
  // Writes the three memos into a fresh table of the version: by append,
  // by lines and as a text BLOB.
  std::string WriteOurs(const std::string& name, std::uint8_t version, std::uint16_t blockSize) {
    const std::string path = test::MakeMemoTable(dir, name, version, blockSize);
    Open(path);
    test::AppendRow({"R0"});
    test::SetNote(1, AddMemo(Oem(Texts()[0])));
    test::AppendRow({"R1"});
    std::int32_t ref = 0;
    MemoTextStream s;
    EXPECT_TRUE(s.Assign(ref));
    s.OpenOutput();
    s.Write(Oem(Texts()[1]));
    EXPECT_EQ(s.Close(), 0);
    test::SetNote(2, ref);
    test::AppendRow({"R2"});
    if (version == 0x83) {
      // A BLOB would be block-headed here, which dBASE III readers do not know.
      ref = 0;
      EXPECT_TRUE(s.Assign(ref));
      s.OpenOutput();
      s.Write(Oem(Texts()[2]));
      EXPECT_EQ(s.Close(), 0);
      test::SetNote(3, ref);
    } else {
      test::SetNote(3, test::WriteBlob(Cp850To1252(Oem(Texts()[2])), true));
    }
    CloseArea();
    return path;
  }
  // What dbfread (all layouts) or python3-dbf delivers: one hex line per
  // record of the memo in code page 850.
  std::string PeerRead(const std::string& path, bool dbfread) {
    std::string out;
    const std::string program =
        dbfread ? "import dbfread\n"
                  "t = dbfread.DBF('" + path + "', encoding='cp850')\n"
                  "for r in t:\n"
                  "    print(r['NOTE'].encode('cp850').hex())\n"
                : "import dbf\n"
                  "t = dbf.Table('" + path + "', codepage='cp850')\n"
                  "t.open(dbf.READ_ONLY)\n"
                  "for r in t:\n"
                  "    print(r.note.encode('cp850').hex())\n";
    EXPECT_EQ(test::RunPython(dir, program, out), 0) << out;
    return out;
  }
};

TEST_F(MemoPeers, PeersReadOurMemos) {
  struct Case {
    std::uint8_t version;
    std::uint16_t blockSize;
    const char* name;
  };
  for (const Case c : {Case{0x83, 512, "o3.dbf"}, Case{0x8B, 512, "o4.dbf"}, Case{0xF5, 64, "of.dbf"}}) {
    SCOPED_TRACE(c.name);
    const std::string path = WriteOurs(c.name, c.version, c.blockSize);
    std::vector<std::string> expected;
    for (const auto& t : Texts()) expected.push_back(Oem(t));
    std::istringstream lines(PeerRead(path, true));
    std::string hex;
    for (const auto& e : expected) {
      ASSERT_TRUE(std::getline(lines, hex));
      if (c.version == 0x8B) {
        // dbfread reads the 8 header bytes more than the memo holds.
        EXPECT_EQ(hex.substr(0, 2 * e.size()), test::Hex(e));
        EXPECT_LE(hex.size(), 2 * (e.size() + 8));
      } else {
        EXPECT_EQ(hex, test::Hex(e));
      }
    }
    if (c.version != 0x8B) {
      std::string all;
      for (const auto& e : expected) all += test::Hex(e) + "\n";
      EXPECT_EQ(PeerRead(path, false), all);
    }
  }
}

TEST_F(MemoPeers, WeReadPythonDbfMemos) {
  for (const char* type : {"db3", "fp"}) {
    SCOPED_TRACE(type);
    const std::string path = dir / (std::string("p_") + type + ".dbf");
    std::string out;
    ASSERT_EQ(test::RunPython(dir,
                              "import dbf\n"
                              "t = dbf.Table('" + path + "', 'NAME C(10); NOTE M', codepage='cp850', dbf_type='" + type +
                                  "')\n"
                              "t.open(dbf.READ_WRITE)\n"
                              "for i, m in enumerate(" + PyList() + "):\n"
                              "    t.append(('R%d' % i, m))\n"
                              "t.close()\n",
                              out),
              0)
        << out;
    Open(path);
    ASSERT_EQ(RecCount(), 3);
    for (int r = 1; r <= 3; ++r) {
      const std::string oem = Oem(Texts()[static_cast<std::size_t>(r - 1)]);
      const std::int32_t block = test::NoteOf(r);
      EXPECT_EQ(test::ReadBlob(block), oem) << r;
      ASSERT_NE(CreateBlobDescriptor(true, block, 1), 0);
      std::string ansi(4000, '\0');
      ansi.resize(static_cast<std::size_t>(ReadBlobStream(ansi.data(), 4000)));
      DestroyBlobDescriptor();
      EXPECT_EQ(ansi, Cp850To1252(oem)) << r;
    }
    // The table's memos by lines as the search reads them.
    std::string text;
    ASSERT_TRUE(MemoHooks().AssignMemo(test::NoteOf(2), text));
    EXPECT_EQ(text, Cp850To1252(Oem(Texts()[1])));
    CloseArea();
  }
}

TEST_F(MemoPeers, WeReadAScriptMadeDbase4File) {
  std::vector<std::string> memos;
  for (const auto& t : Texts()) memos.push_back(Oem(t));
  memos.insert(memos.begin() + 1, std::string());  // a record without memo
  std::string out;
  ASSERT_EQ(test::MakeScriptDbase4(dir, "s4", 512, memos, out), 0) << out;
  Open(dir / "s4.dbf");
  ASSERT_EQ(RecCount(), 4);
  for (int r = 1; r <= 4; ++r) {
    const std::int32_t block = test::NoteOf(r);
    EXPECT_EQ(block == 0, memos[static_cast<std::size_t>(r - 1)].empty());
    if (block != 0) {
      EXPECT_EQ(test::ReadBlob(block), memos[static_cast<std::size_t>(r - 1)]) << r;
    }
  }
  ASSERT_TRUE(GetMemo(test::NoteOf(3)));
  EXPECT_EQ(MemoLines().count, 2);
  EXPECT_EQ(MemoLines().lines[2], Oem("Ärger, Öl, Übel"));
}

}  // namespace
}  // namespace zeb::xbase
