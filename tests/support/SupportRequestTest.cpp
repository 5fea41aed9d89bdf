#include "support/SupportRequest.h"

#include <gtest/gtest.h>

namespace vk {
namespace {

QStringList Names(const QList<FormField>& fields) {
  QStringList names;
  for (const auto& f : fields) names << f.name;
  return names;
}

TEST(SupportRequest, FieldsOfEachTypeInOrderWithQuotesRemoved) {
  SupportInput input{"It \"crashes\" when I'm busy", "Steps: 'one'", "me@\"x\".org", 7, 4, 5};
  auto support = BuildFields(ReportType::kSupport, input, "3", "{GUID}", "{BUG}");
  EXPECT_EQ(Names(support), (QStringList{"AppID", "BuildNo", "InstallID", "BugID", "Title", "Notes", "EMail",
                                         "Severity", "Criticality", "Status"}));
  EXPECT_EQ(support[0].value, "VELKOR_CRYPTO");
  EXPECT_EQ(support[1].value, "3");
  EXPECT_EQ(support[2].value, "{GUID}");
  EXPECT_EQ(support[3].value, "{BUG}");
  EXPECT_EQ(support[4].value, "It crashes when Im busy");
  EXPECT_EQ(support[5].value, "Steps: one");
  EXPECT_EQ(support[6].value, "me@x.org");
  EXPECT_EQ(support[7].value, "7");
  EXPECT_EQ(support[8].value, "4");
  EXPECT_EQ(support[9].value, "NEW");

  auto suggestion = BuildFields(ReportType::kSuggestion, input, "3", "{GUID}", "{S}");
  EXPECT_EQ(Names(suggestion),
            (QStringList{"AppID", "BuildNo", "InstallID", "SuggestID", "Title", "Notes", "EMail", "Type", "Status"}));
  EXPECT_EQ(suggestion[7].value, "5");
  EXPECT_EQ(ScriptPath(ReportType::kSupport), "/client_app_submit_bug_report.php");
  EXPECT_EQ(ScriptPath(ReportType::kSuggestion), "/client_app_submit_suggest_report.php");
}

TEST(SupportRequest, FormBodyPercentEncodesEveryValue) {
  QByteArray body = EncodeForm({{"Title", "a+b c&d=e"}, {"Notes", "caf\u00e9\r\n"}, {"Empty", ""}});
  EXPECT_EQ(body, "Title=a%2Bb%20c%26d%3De&Notes=caf%C3%A9%0D%0A&Empty=");
}

TEST(SupportRequest, MenusAreFoundByKeyIncludingOtherWhichCarriesFive) {
  EXPECT_EQ(SeverityItems().size(), 10u);
  EXPECT_EQ(CriticalityItems().size(), 10u);
  EXPECT_EQ(SuggestionItems().size(), 4u);
  EXPECT_EQ(ValueOfKey("SEVERITY_10", kSeverityPrefix), 10);
  EXPECT_EQ(ValueOfKey("SUGGESTION_5", kSuggestionPrefix), 5);
  EXPECT_EQ(ValueOfKey("SEVERITY_x", kSeverityPrefix), -1);
  EXPECT_EQ(ValueOfKey("CRITICALITY_1", kSeverityPrefix), -1);
  EXPECT_EQ(CaptionForValue(SuggestionItems(), kSuggestionPrefix, 5), "Other");
  EXPECT_EQ(CaptionForValue(SeverityItems(), kSeverityPrefix, 4), "4 (Moderate)");
  EXPECT_EQ(CaptionForValue(CriticalityItems(), kCriticalityPrefix, 10), "10 (Cannot Use)");
}

TEST(SupportRequest, ReadyOnlyWhenEveryBoxHasMoreThanSpaces) {
  EXPECT_TRUE(ReadyToSubmit("t", "n", "e"));
  EXPECT_FALSE(ReadyToSubmit("   ", "n", "e"));
  EXPECT_FALSE(ReadyToSubmit("t", "", "e"));
  EXPECT_FALSE(ReadyToSubmit("t", "n", " "));
  EXPECT_TRUE(ReadyToSubmit(" t ", "\tn", "e"));
}

TEST(SupportRequest, WarningTextsEndAsTheUserSeesThem) {
  EXPECT_EQ(ResponseWarningText(),
            "An Error was encountered while attempting to submit the request.  If this problem persists, please "
            "contact support@velkor.example.");
  EXPECT_EQ(TransportWarningText(10061),
            "An Error was encountered while attempting to submit the request.  If this problem persists, please "
            "contact support@velkor.example and give them the following code: 10061");
}

}  // namespace
}  // namespace vk
