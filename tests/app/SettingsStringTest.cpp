#include "settings/SettingsString.h"

#include <gtest/gtest.h>

namespace vk {
namespace {

TEST(SettingsString, BuildsElevenFieldsInTheirFixedOrder) {
  SettingsFields f;
  f.AppGUID = "{3F2504E0-4F89-41D3-9A0C-0305E82C3301}";
  f.AutoProgUpdateCheck = false;
  f.EnableNewsFeed = true;
  f.FilesEncrypted = 12;
  f.MaintainHistory = true;
  f.MessagesEncrypted = 0;
  f.ProgramPWD = "UNSETVALUE";
  f.TotalPasswords = 2;
  f.UseProgPWD = true;
  EXPECT_EQ(BuildSettingsString(f), "{3F2504E0-4F89-41D3-9A0C-0305E82C3301}|0|-1|12||-1|0|UNSETVALUE|2|-1|");
  EXPECT_EQ(BuildSettingsString(SettingsFields{}), "|0|0|0||0|0||0|0|");
}

TEST(SettingsString, ReadsTheDocumentedExample) {
  SettingsFields f;
  ParseSettingsString("{3F2504E0-4F89-41D3-9A0C-0305E82C3301}|0|-1|3||-1|5|UNSETVALUE|2|0|", f);
  EXPECT_EQ(f.AppGUID, "{3F2504E0-4F89-41D3-9A0C-0305E82C3301}");
  EXPECT_FALSE(f.AutoProgUpdateCheck);
  EXPECT_TRUE(f.EnableNewsFeed);
  EXPECT_EQ(f.FilesEncrypted, 3);
  EXPECT_TRUE(f.MaintainHistory);
  EXPECT_EQ(f.MessagesEncrypted, 5);
  EXPECT_EQ(f.ProgramPWD, "UNSETVALUE");
  EXPECT_EQ(f.TotalPasswords, 2);
  EXPECT_FALSE(f.UseProgPWD);
}

TEST(SettingsString, BooleansAcceptNumbersAndWordsAndLeaveAnythingElseAlone) {
  struct Case {
    const char* text;
    bool before;
    bool after;
  } cases[] = {{"-1", false, true}, {"1", false, true},    {"2", false, true},   {"0", true, false},
               {"True", false, true}, {"tRUE", false, true}, {"FALSE", true, false}, {"yes", true, true},
               {"yes", false, false}, {"", true, true},      {"1x", false, false}, {" -1 ", false, true}};
  for (const Case& c : cases) {
    bool value = c.before;
    ParseSettingsBoolean(c.text, value);
    EXPECT_EQ(value, c.after) << '"' << c.text << '"';
  }
}

TEST(SettingsString, MissingAndUnreadablePositionsKeepTheirValues) {
  SettingsFields f;
  f.FilesEncrypted = 7;
  f.UseProgPWD = true;
  f.ProgramPWD = "kept";
  ParseSettingsString("{G}|-1|zero|many", f);  // four positions, two of them not numbers
  EXPECT_EQ(f.AppGUID, "{G}");
  EXPECT_TRUE(f.AutoProgUpdateCheck);
  EXPECT_FALSE(f.EnableNewsFeed);
  EXPECT_EQ(f.FilesEncrypted, 7);
  EXPECT_EQ(f.ProgramPWD, "kept");
  EXPECT_TRUE(f.UseProgPWD);

  double number = 4;
  EXPECT_FALSE(ParseSettingsNumber("nan", number));
  EXPECT_FALSE(ParseSettingsNumber("inf", number));
  EXPECT_FALSE(ParseSettingsNumber("", number));
  EXPECT_EQ(number, 4);
  EXPECT_TRUE(ParseSettingsNumber("+12", number));
  EXPECT_EQ(number, 12);
}

TEST(SettingsString, AWrittenStringReadsBackToEveryField) {
  SettingsFields f;
  f.AppGUID = "{00000000-0000-4000-8000-000000000001}";
  f.AutoProgUpdateCheck = true;
  f.EnableNewsFeed = false;
  f.FilesEncrypted = 123456789;
  f.MaintainHistory = true;
  f.MessagesEncrypted = 100000;  // round numbers in the shortest notation would read "1e+05"
  f.ProgramPWD = "$v1$c2FsdA$aGFzaA";
  f.TotalPasswords = 9007199254740992;  // 2^53, the last count a double holds exactly
  f.UseProgPWD = true;
  const std::string text = BuildSettingsString(f);
  EXPECT_EQ(text, "{00000000-0000-4000-8000-000000000001}|-1|0|123456789||-1|100000|$v1$c2FsdA$aGFzaA|"
                  "9007199254740992|-1|");
  SettingsFields g;
  ParseSettingsString(text, g);
  EXPECT_EQ(BuildSettingsString(g), text);
}

}  // namespace
}  // namespace vk
