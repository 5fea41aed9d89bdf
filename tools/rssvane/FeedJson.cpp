#include "FeedJson.h"

#include <cstdio>

#include "base/CodePage.h"

namespace rssvane_tool {

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

}  // namespace

std::string FeedJson(FeedState& feed) {
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
  return out;
}

}  // namespace rssvane_tool
