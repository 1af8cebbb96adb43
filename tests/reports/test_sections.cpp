// The section choice of the print macro: the mask's bits 1..14.
#include "base/globals.h"
#include "base/support_fixture.h"
#include "reports/sections.h"

namespace zeb {
namespace {

class SectionsTest : public test::BaseTest {};

TEST_F(SectionsTest, MaskFiveChecksTheFirstAndThirdBox) {
  G().PrintoutSectionMask = 5;
  PrintoutSectionChoice c;
  c.Load();
  for (int n = 1; n <= kPrintoutSectionCount; ++n) EXPECT_EQ(c.checked[static_cast<std::size_t>(n)], n == 1 || n == 3) << n;
  EXPECT_TRUE(PrintoutSectionChosen(5, 3));
  EXPECT_FALSE(PrintoutSectionChosen(5, 2));
  EXPECT_FALSE(PrintoutSectionChosen(-1, 15));  // beyond the check boxes
  EXPECT_TRUE(PrintoutSectionChosen(1 << 13, 14));
}

TEST_F(SectionsTest, OkSetsBitsOneToFourteenAndKeepsTheRest) {
  G().PrintoutSectionMask = static_cast<std::int32_t>(0x80010005u);  // bits 1, 3, 17, 32
  G().AbortFlag = 1;
  PrintoutSectionChoice c;
  c.Load();
  c.checked[1] = false;
  c.checked[2] = true;
  c.checked[14] = true;
  c.Ok();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(static_cast<std::uint32_t>(G().PrintoutSectionMask), 0x80010000u | 0x2u | 0x4u | 0x2000u);
  // All boxes cleared: only the bits beyond 14 stay.
  c.checked.fill(false);
  c.Ok();
  EXPECT_EQ(static_cast<std::uint32_t>(G().PrintoutSectionMask), 0x80010000u);
  EXPECT_EQ(G().AbortFlag, 0);
}

TEST_F(SectionsTest, CancelKeepsTheMaskAndAborts) {
  G().PrintoutSectionMask = 5;
  PrintoutSectionChoice c;
  c.Load();
  c.checked[2] = true;
  c.checked[1] = false;
  PrintoutSectionChoice::Cancel();
  EXPECT_EQ(G().PrintoutSectionMask, 5);
  EXPECT_EQ(G().AbortFlag, 1);
}

}  // namespace
}  // namespace zeb
