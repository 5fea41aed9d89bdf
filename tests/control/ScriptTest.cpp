#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ScriptJson.h"
#include "ScriptSession.h"
#include "rssvane/RSS.h"

namespace rssvane_tool {
namespace {

std::string Reparsed(std::string_view text) {
  JsonValue value;
  std::string why;
  if (!ParseJson(text, value, why)) return "error: " + why;
  std::string out;
  if (value.type == JsonValue::Type::kString) AppendJsonString(out, value.text);
  if (value.type == JsonValue::Type::kNumber) AppendJsonNumber(out, value.number);
  return out;
}

TEST(ScriptJson, StringsAndNumbersRoundTripExactly) {
  EXPECT_EQ(Reparsed(R"("a\"b\\c\/d\n\t\u0001")"), R"("a\"b\\c/d\n\t\u0001")");
  EXPECT_EQ(Reparsed("\"caf\xC3\xA9 \xF0\x9F\x98\x80\""), "\"caf\xC3\xA9 \xF0\x9F\x98\x80\"");
  EXPECT_EQ(Reparsed(R"("\ud83d\ude00")"), "\"\xF0\x9F\x98\x80\"");  // a pair joins into one character
  EXPECT_EQ(Reparsed(R"("\ud83d")"), R"("\ud83d")");                // a lone surrogate stays escaped
  EXPECT_EQ(Reparsed("-12"), "-12");
  EXPECT_EQ(Reparsed("1.5e3"), "1500");
  EXPECT_EQ(Reparsed("0.1"), "0.1");
  EXPECT_EQ(Reparsed("1e-400"), "0");

  JsonValue value;
  std::string why;
  ASSERT_TRUE(ParseJson(R"( {"a": [1, true, null, {"b": "c"}], "d": false} )", value, why)) << why;
  ASSERT_EQ(value.type, JsonValue::Type::kObject);
  ASSERT_NE(value.Member(u"a"), nullptr);
  EXPECT_EQ(value.Member(u"a")->items.size(), 4u);
  EXPECT_EQ(value.Member(u"a")->items[3].Member(u"b")->text, u"c");
  EXPECT_EQ(value.Member(u"d")->type, JsonValue::Type::kBool);
}

TEST(ScriptJson, MalformedTextIsRefusedWithAReason) {
  JsonValue value;
  std::string why;
  for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "01", "1.", "-", "+1", "1e", "tru", "nul", "\"a",
                          "\"\\x\"", "\"\\u12g4\"", "\"\x01\"", "\"\xC0\xAF\"", "\"\xED\xA0\x80\"", "\"\xF5\x80\x80\x80\"",
                          "1 2", "1e999", "{\"a\":1,}", "[1 2]", "'a'"}) {
    EXPECT_FALSE(ParseJson(bad, value, why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }
  EXPECT_FALSE(ParseJson(std::string(65, '[') + std::string(65, ']'), value, why));
  EXPECT_EQ(why, "nesting too deep at byte 65");
  EXPECT_TRUE(ParseJson(std::string(64, '[') + std::string(64, ']'), value, why)) << why;
}

TEST(ScriptSession, RequestsReachTheControlByName) {
  rssvane::RSS rss;
  ScriptSession session(rss);
  EXPECT_EQ(session.Answer(R"({"set": "ChannelTitle", "value": "caf\u00e9"})"), R"({"ok":true,"value":null})");
  EXPECT_EQ(session.Answer(R"({"get": "ChannelTitle"})"), "{\"ok\":true,\"value\":\"caf\xC3\xA9\"}");
  EXPECT_EQ(session.Answer(R"({"call": "AddItem", "args": ["t", "d", "l"]})"), R"({"ok":true,"value":null})");
  EXPECT_EQ(session.Answer(R"({"get": "ItemCount"})"), R"({"ok":true,"value":1})");
  EXPECT_EQ(session.Answer(R"({"get": "ItemTitle", "index": 1})"), R"({"ok":true,"value":"t"})");
  EXPECT_EQ(session.Answer(R"({"set": "ItemLink", "index": 1, "value": "x"})"), R"({"ok":true,"value":null})");
  EXPECT_EQ(rss.ItemLink(1), u"x");
  EXPECT_EQ(session.Answer(R"({"call": "Config", "args": ["AllowNonRSS"]})"), R"({"ok":true,"value":"1"})");
  EXPECT_EQ(session.Answer(R"({"get": "RSSVersion"})"), R"({"ok":true,"value":3})");
  EXPECT_EQ(session.Answer("{\"call\": \"Reset\"}\r"), R"({"ok":true,"value":null})");
  EXPECT_EQ(rss.ItemCount(), 0);
}

TEST(ScriptSession, FailuresCarryTheHostsErrorNumber) {
  rssvane::RSS rss;
  ScriptSession session(rss);
  EXPECT_EQ(session.Answer(R"({"get": "ItemTitle", "index": 0})"),
            R"({"ok":false,"number":381,"description":"Invalid array index."})");
  EXPECT_EQ(session.Answer(R"({"set": "ItemTitle", "index": 0, "value": "x"})"),
            R"({"ok":false,"number":20233,"description":"Invalid item index."})");
  EXPECT_EQ(session.Answer(R"({"call": "Config", "args": ["Nope"]})"),
            R"({"ok":false,"number":20000,"description":"Unknown config setting."})");
  EXPECT_EQ(session.Answer(R"({"set": "RSSData", "value": "x"})"),
            R"({"ok":false,"number":383,"description":"Property is read-only."})");
  EXPECT_EQ(session.Answer(R"({"set": "RSSVersion", "value": 4})"),
            R"({"ok":false,"number":380,"description":"Value is out of range."})");
  EXPECT_EQ(session.Answer(R"({"get": "Nope"})"),
            R"({"ok":false,"number":438,"description":"Object doesn't support this property or method."})");
  EXPECT_EQ(session.Answer(R"({"get": "ItemTitle", "index": 70000})"),
            R"({"ok":false,"number":6,"description":"Overflow."})");
}

TEST(ScriptSession, InvalidRequestsAreAnsweredWithNumberZero) {
  rssvane::RSS rss;
  ScriptSession session(rss);
  auto number = [&](std::string_view line) {
    std::string answer = session.Answer(line);
    EXPECT_EQ(answer.rfind("{\"ok\":false,\"number\":0,\"description\":\"", 0), 0u) << line << " -> " << answer;
    return answer;
  };
  EXPECT_EQ(number("not json"),
            R"({"ok":false,"number":0,"description":"Not valid JSON: invalid literal at byte 1."})");
  EXPECT_EQ(number("[1]"), R"({"ok":false,"number":0,"description":"A request must be a JSON object."})");
  number("");
  number(R"({"get": "ChannelTitle", "set": "ChannelTitle", "value": 1})");
  number(R"({"get": 5})");
  number(R"({"set": "ChannelTitle"})");
  number(R"({"get": "ItemTitle", "index": 1.5})");
  number(R"({"get": "ItemTitle", "index": "1"})");
  number(R"({"call": "AddItem", "args": "a"})");
  number(R"({"call": "AddItem", "args": [["a"]]})");
  number(R"({"call": "Reset", "index": 1})");
  number(R"({"get": "ChannelTitle", "extra": 1})");
  number(R"({"get": "ChannelTitle", "index": 1, "index": 2})");
  // The session goes on as before.
  EXPECT_EQ(session.Answer(R"({"get": "ChannelTitle"})"), R"({"ok":true,"value":""})");
}

#ifdef RSSVANE_TOOL_PATH
TEST(ScriptTool, AnswersEachLineInOrderOnStandardOutput) {
  std::filesystem::path input =
      std::filesystem::temp_directory_path() / ("rssvane-script-" + std::to_string(::getpid()) + ".jsonl");
  {
    std::ofstream(input) << "{\"set\": \"ChannelTitle\", \"value\": \"T\"}\n"
                            "oops\n"
                            "{\"get\": \"ChannelTitle\"}\n"
                            "{\"get\": \"ItemTitle\", \"index\": 1}\n";
  }
  std::string command = std::string(RSSVANE_TOOL_PATH) + " script < " + input.string();
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[512];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  int status = ::pclose(pipe);
  std::filesystem::remove(input);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(output,
            "{\"ok\":true,\"value\":null}\n"
            "{\"ok\":false,\"number\":0,\"description\":\"Not valid JSON: invalid value at byte 1.\"}\n"
            "{\"ok\":true,\"value\":\"T\"}\n"
            "{\"ok\":false,\"number\":381,\"description\":\"Invalid array index.\"}\n");
}
#endif

}  // namespace
}  // namespace rssvane_tool
