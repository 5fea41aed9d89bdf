// rssvane dump [--decode] [--atom] FILE: reads a feed file as the control
// does and prints the model as one JSON object, for other programs to compare
// against. --decode and --atom read it with DecodeDocument and ReadAtom on.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "base/CodePage.h"
#include "base/Codes.h"
#include "feed/FeedEngine.h"

namespace {

using rssvane::FeedContainer;
using rssvane::FeedField;
using rssvane::FeedState;

// A JSON string of narrow text from the system code page; bytes that do not
// convert are U+FFFD.
void AppendString(std::string& out, std::string_view narrow) {
  std::string utf8;
  if (!rssvane::NarrowToUtf8(narrow, 0, utf8)) utf8.assign(narrow);
  out += '"';
  for (char ch : utf8) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

void AppendField(std::string& out, const FeedField& field) {
  out += "{\"name\": ";
  AppendString(out, field.Name());
  out += ", \"text\": ";
  AppendString(out, field.Text());
  out += ", \"attributes\": [";
  for (size_t i = 0; i < field.AttributeCount(); ++i) {
    if (i) out += ", ";
    out += '[';
    AppendString(out, field.AttributeName(i));
    out += ", ";
    AppendString(out, field.AttributeValue(i));
    out += ']';
  }
  out += "]}";
}

// The fixed fields that have content, in table order, then every extra field.
void AppendContainer(std::string& out, const FeedContainer& container) {
  out += '[';
  bool first = true;
  for (size_t i = 0; i < container.FixedCount(); ++i) {
    const FeedField& field = container.Fixed(i);
    if (!field.HasContent()) continue;
    if (!first) out += ", ";
    first = false;
    AppendField(out, field);
  }
  for (size_t i = 0; i < container.ExtraCount(); ++i) {
    if (!first) out += ", ";
    first = false;
    AppendField(out, *container.Extra(i));
  }
  out += ']';
}

std::string_view VersionText(int version) {
  switch (version) {
    case rssvane::rssVersion091: return "0.91";
    case rssvane::rssVersion092: return "0.92";
    case rssvane::rssVersion200: return "2.0";
    default: return "undefined";
  }
}

int RunDump(const std::vector<std::string_view>& args) {
  rssvane::FeedEngine engine;
  std::string_view file;
  for (std::string_view arg : args) {
    std::string answer;
    if (arg == "--decode") {
      engine.Config("DecodeDocument=true", answer);
    } else if (arg == "--atom") {
      engine.Config("ReadAtom=true", answer);
    } else if (arg.substr(0, 1) != "-" && file.empty()) {
      file = arg;
    } else {
      file = {};
      break;
    }
  }
  if (file.empty()) {
    std::fputs("usage: rssvane dump [--decode] [--atom] FILE\n", stderr);
    return 2;
  }
  if (int code = engine.ReadFile(file)) {
    rssvane::AutomationFailure failure = rssvane::FailureForCode(code, engine.LastErrorText());
    std::fprintf(stderr, "rssvane: error %d: %s\n", failure.number, failure.description.c_str());
    return 1;
  }
  FeedState& feed = engine.Feed();
  std::string out = "{\"version\": \"";
  out += VersionText(feed.Version());
  out += "\", \"defaultNamespace\": ";
  AppendString(out, feed.DefaultNamespace());
  out += ", \"namespaces\": [";
  for (long n = 1; n <= static_cast<long>(feed.NamespaceCount()); ++n) {
    std::string_view prefix, uri;
    feed.NamespacePrefix(n, prefix);
    feed.NamespaceUri(n, uri);
    if (n > 1) out += ", ";
    out += "{\"prefix\": ";
    AppendString(out, prefix);
    out += ", \"uri\": ";
    AppendString(out, uri);
    out += '}';
  }
  out += "], \"channel\": ";
  AppendContainer(out, feed.Channel());
  out += ", \"image\": ";
  AppendContainer(out, feed.Image());
  out += ", \"textInput\": ";
  AppendContainer(out, feed.TextInput());
  out += ", \"items\": [";
  for (long i = 1; i <= static_cast<long>(feed.ItemCount()); ++i) {
    if (i > 1) out += ", ";
    AppendContainer(out, *feed.Item(i));
  }
  out += "]}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

rssvane_tool::CommandRegistration dumpCommand{
    {"dump", "dump [--decode] [--atom] FILE    print a feed file as one JSON object", RunDump}};

}  // namespace
