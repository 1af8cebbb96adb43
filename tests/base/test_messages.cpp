#include <gtest/gtest.h>

#include <string>

#include "base/globals.h"
#include "base/messages.h"

namespace zeb {
namespace {

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetBaseGlobals(); }
  static const ErrorMessageListT& List() { return G().ErrorMessageList; }
};

TEST_F(MessagesTest, RepeatedTextIsStoredOnceAndComparisonIsExact) {
  for (const char* text : {"A", "A", "a", "A "}) AddErrorMessage(text);
  ASSERT_EQ(List().count, 3);
  EXPECT_EQ(List().slot[1] + "|" + List().slot[2] + "|" + List().slot[3], "A|a|A ");
  // Adding never touches the fatal flag.
  AddErrorMessage("Fatal  : d <= 0 !");
  EXPECT_EQ(G().FatalErrorFlag, 0);
}

TEST_F(MessagesTest, ThirteenDistinctTextsKeepTheFirstTwelveInOrder) {
  for (int i = 1; i <= 13; ++i) AddErrorMessage("Warnung: " + std::to_string(i));
  ASSERT_EQ(List().count, 12);
  for (int i = 1; i <= 12; ++i) EXPECT_EQ(List().slot[i], "Warnung: " + std::to_string(i));
  // A full list still refuses a repeat and a new text alike.
  AddErrorMessage("Warnung: 1");
  AddErrorMessage("Warnung: 14");
  EXPECT_EQ(List().count, 12);
  EXPECT_EQ(List().slot[12], "Warnung: 12");
}

TEST_F(MessagesTest, ResetClearsCountAndFatalFlagOnlyClearEmptiesTheSlots) {
  AddErrorMessage("X");
  AddErrorMessage("Y");
  G().FatalErrorFlag = G().AbortFlag = G().ModifiedFlag = 1;
  ResetErrorMessages();
  EXPECT_EQ(List().count, 0);
  EXPECT_EQ(G().FatalErrorFlag, 0);
  EXPECT_EQ(G().AbortFlag + G().ModifiedFlag, 2);
  // Old slot texts no longer count as stored.
  AddErrorMessage("Y");
  ASSERT_EQ(List().count, 1);
  EXPECT_EQ(List().slot[1], "Y");

  G().FatalErrorFlag = 1;
  ClearErrorMessages();
  EXPECT_EQ(List().count, 0);
  for (const std::string& s : List().slot) EXPECT_TRUE(s.empty());
  EXPECT_EQ(G().FatalErrorFlag, 1);
}

}  // namespace
}  // namespace zeb
