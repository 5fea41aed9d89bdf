#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "feed/ConfigChain.h"
#include "feed/FeedReader.h"
#include "feed/FeedSettings.h"
#include "feed/FeedState.h"
#include "feed/FeedWriter.h"
#include "feed/TextSettings.h"

namespace rssvane {

// The feed engine the control publishes: the model with its reader and
// writer, property paths, and the configuration chain whose top layer it is.
// The network layers attach themselves to the chain at their levels; the
// engine keeps none of their state and restores their Reset defaults through
// the chain. Every operation returns 0 or a code and leaves the code and its
// message as the feed's last error.
class FeedEngine {
 public:
  FeedEngine();
  FeedEngine(const FeedEngine&) = delete;
  FeedEngine& operator=(const FeedEngine&) = delete;

  FeedState& Feed() noexcept { return feed_; }
  const FeedState& Feed() const noexcept { return feed_; }
  ConfigChain& Chain() noexcept { return chain_; }
  TextSettings& Text() noexcept { return text_; }
  const TextSettings& Text() const noexcept { return text_; }
  const FeedWriter& Writer() const noexcept { return writer_; }

  int LastError() const noexcept { return feed_.LastError(); }
  std::string_view LastErrorText() const noexcept { return feed_.LastErrorText(); }
  void ClearError() noexcept { feed_.ClearError(); }

  // The XML reader takes CharsetMode, the lower layers restore their Reset
  // defaults (the HTTP version becomes "1.0"), then the model is reset.
  void Reset() noexcept;

  // Replaces the feed with the document in text, restoring the lower
  // layers' Reset defaults as Reset does. A document that cannot be read
  // changes nothing: the feed, its document text and every setting stay as
  // they were. charset names the encoding a server gave the document (the
  // charset parameter of its Content-Type, unquoted), or is empty; with
  // DecodeDocument it counts when the document declares none. address is
  // the URL the document came from, or empty; with ReadAtom relative
  // references are resolved against it.
  int ReadDocument(std::string_view text, std::string_view charset = {}, std::string_view address = {}) noexcept;
  // A file that cannot be opened or read changes nothing; anything else has
  // reset the feed, and with it the lower layers' Reset defaults.
  // A name holding a zero byte names no file and fails like one that cannot
  // be opened, rather than reaching a file by its cut-off name.
  int ReadFile(std::string_view path) noexcept;
  int DocumentText(std::string_view& out) noexcept { return writer_.DocumentText(feed_, out); }
  int WriteFile(std::string_view path) noexcept;
  // Makes text the document text as it stands (a fetched document), without
  // reading it into the model: 0 or 200.
  int SetDocumentText(std::string_view text) noexcept;

  int GetProperty(std::string_view path, std::string_view& value) noexcept;
  int SetProperty(std::string_view path, std::string_view value) noexcept;
  // The answer to a query, empty after a change.
  int Config(std::string_view configurationString, std::string& answer) noexcept;

  // AddItem, refused once the count no longer fits the 16-bit ItemCount
  // through which hosts reach the items.
  int AddItem(std::string_view title, std::string_view description, std::string_view link) noexcept;

 private:
  // Reads the document into a model, decoded first when DecodeDocument is
  // on (a document that cannot be decoded fails as malformed XML does, with
  // the model reset) and mapped from Atom when ReadAtom is on and it is Atom.
  // owned, when given, holds text and may be taken over as the document text.
  int ReadText(FeedState& into, std::string_view text, std::string_view charset, std::string_view address,
               GrowString* owned = nullptr) noexcept;

  FeedState feed_;
  FeedReader reader_;
  FeedWriter writer_;
  FeedSettings feedSettings_{feed_};
  TextSettings text_;
  ConfigChain chain_;
};

// The most items hosts can count through ItemCount.
inline constexpr size_t kMaxHostItems = 32767;

}  // namespace rssvane
