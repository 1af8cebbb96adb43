// BLOB streams in the three layouts: exact bytes, lengths, the header left
// for other programs, text conversion.
#include "test_memo_support.h"
#include "xbase/core/ansi_literal.h"

namespace zeb::xbase {
namespace {

using test::MemoTest;
using test::ReadBytes;
using test::U32At;

bool HavePython() {
  std::string out;
  return test::RunCommand("/usr/bin/python3 -c 'import dbf' 2>&1", out) == 0;
}

struct Layout {
  std::uint8_t version;
  std::uint16_t blockSize;
  const char* ext;
};

class BlobLayouts : public MemoTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(BlobLayouts, BytesRoundTripAndHeaderPointsPastThem) {
  const Layout l = GetParam();
  const std::string path = test::MakeMemoTable(dir, "b.dbf", l.version, l.blockSize);
  const std::string memo = dir / (std::string("b.") + l.ext);
  Open(path);
  ASSERT_GT(AddMemo("vorher"), 0);
  std::string data;
  for (int i = 0; i < 1500; ++i) data.push_back(static_cast<char>((i * 7) % 256));
  data[0] = 0x00, data[1] = 0x03, data[2] = 0x1A;
  const std::string callerCopy = data;

  const std::int32_t b = CreateBlobDescriptor(false, 0, 2);
  ASSERT_NE(b, 0) << LastText();
  EXPECT_EQ(b < 0, l.version == 0x83);  // dBASE III: block-headed, negative
  if (l.version == 0x8B) {
    EXPECT_EQ(U32At(ReadBytes(memo), 0), 2147483647u);  // open end
  }
  ASSERT_EQ(WriteBlobStream(data.data(), 1000), 1000);
  ASSERT_EQ(WriteBlobStream(data.data() + 1000, 500), 500);
  // Back before the end: the data already written stays.
  ASSERT_EQ(SeekBlobStream(10, 0), 10);
  ASSERT_EQ(WriteBlobStream(data.data() + 10, 5), 5);
  EXPECT_EQ(SeekBlobStream(0, 2), 1500);
  DestroyBlobDescriptor();
  EXPECT_EQ(data, callerCopy);

  const std::string bytes = ReadBytes(memo);
  const auto blocks = static_cast<unsigned>((bytes.size() + l.blockSize - 1) / l.blockSize);
  EXPECT_EQ(U32At(bytes, 0, l.version == 0xF5), blocks);
  EXPECT_EQ(test::ReadBlob(b), data);
  ASSERT_EQ(CreateBlobDescriptor(false, b, 1), b);
  EXPECT_EQ(SeekBlobStream(0, 2), 1500);
  DestroyBlobDescriptor();
  // The next memo goes after the BLOB.
  const std::int32_t after = AddMemo("nachher");
  EXPECT_GT(after, std::abs(b));
  EXPECT_EQ(test::ReadBlob(b), data);
  EXPECT_EQ(test::ReadMemoText(after), "nachher");
}

INSTANTIATE_TEST_SUITE_P(All, BlobLayouts,
                         ::testing::Values(Layout{0x83, 512, "dbt"}, Layout{0x8B, 512, "dbt"}, Layout{0x8B, 64, "dbt"},
                                           Layout{0xF5, 64, "fpt"}),
                         [](const auto& info) {
                           return std::string(info.param.version == 0x83   ? "Dbase3"
                                              : info.param.version == 0x8B ? "Dbase4_"
                                                                           : "FoxPro") +
                                  (info.param.version == 0x8B ? std::to_string(info.param.blockSize) : "");
                         });

class Blob : public MemoTest {};

TEST_F(Blob, TextIsConvertedInACopyOnly) {
  const std::string path = test::MakeMemoTable(dir, "t.dbf", 0x8B);
  Open(path);
  const std::string ansi = "Müller\tGroß\r\n\x0F\x14\x15 Ärger"_ansi.str();
  const std::string before = ansi;
  std::int32_t b = test::WriteBlob(ansi, true);
  ASSERT_GT(b, 0);
  EXPECT_EQ(ansi, before);
  const std::string stored = ReadBytes(dir / "t.dbt").substr(static_cast<std::size_t>(b) * 512 + 8, ansi.size());
  EXPECT_EQ(stored, "Müller\tGroß\r\n\x0F\x14\x15 Ärger"_oem.str());
  ASSERT_EQ(CreateBlobDescriptor(true, b, 1), b);
  std::string back(100, '\0');
  back.resize(static_cast<std::size_t>(ReadBlobStream(back.data(), 100)));
  DestroyBlobDescriptor();
  EXPECT_EQ(back, ansi);
  // A byte 7 makes it binary: nothing converted.
  const std::string bin = "Ä\x07"_ansi.str();
  b = test::WriteBlob(bin, true);
  EXPECT_EQ(test::ReadBlob(b), bin);
}

TEST_F(Blob, Dbase3TextMemoEndsAtItsMark) {
  const std::string path = test::MakeMemoTable(dir, "e.dbf", 0x83);
  Open(path);
  const std::int32_t b = AddMemo("Grüße"_oem.str());
  ASSERT_EQ(CreateBlobDescriptor(true, b, 1), -b);
  EXPECT_EQ(SeekBlobStream(0, 2), 5);  // up to the end mark
  SeekBlobStream(0, 0);
  char buf[64];
  const std::int32_t n = ReadBlobStream(buf, sizeof buf);
  DestroyBlobDescriptor();
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(n)), "Grüße"_ansi.str());
  // Block 0 reads as an empty memo.
  EXPECT_EQ(test::ReadBlob(0), "");
  EXPECT_EQ(TzCurrentError(), 0);
}

// python3-dbf appends by the header's next free block: after a BLOB it
// must not land in the BLOB.
TEST_F(Blob, PeerAppendLeavesBlobIntact) {
  if (!HavePython()) GTEST_SKIP() << "python3-dbf missing";
  for (std::uint8_t v : {std::uint8_t{0x83}, std::uint8_t{0xF5}}) {
    SCOPED_TRACE(static_cast<int>(v));
    const std::string name = v == 0x83 ? "p3.dbf" : "pf.dbf";
    const std::string path = test::MakeMemoTable(dir, name, v, 64);
    Open(path);
    std::string data(3000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 13);
    const std::int32_t b = test::WriteBlob(data);
    ASSERT_NE(b, 0);
    test::AppendRow({"blob"});
    test::SetNote(1, b);
    CloseArea();
    std::string out;
    int rc = test::RunPython(dir,
                             "import dbf\n"
                             "t = dbf.Table('" + path + "', codepage='cp850')\n"
                             "t.open(dbf.READ_WRITE)\n"
                             "t.append(('peer', 'vom Peer geschrieben'))\n"
                             "t.close()\n",
                             out);
    ASSERT_EQ(rc, 0) << out;
    Open(path);
    EXPECT_EQ(test::ReadBlob(test::NoteOf(1)), data);
    EXPECT_EQ(test::ReadMemoText(test::NoteOf(2)), "vom Peer geschrieben");
    CloseArea();
  }
}

}  // namespace
}  // namespace zeb::xbase
