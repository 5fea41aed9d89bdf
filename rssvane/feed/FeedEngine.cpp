#include "feed/FeedEngine.h"

#include <memory>
#include <new>

#include "base/Codes.h"
#include "feed/AtomDocument.h"
#include "feed/AtomReader.h"
#include "feed/DocumentDecoder.h"
#include "feed/PropertyPath.h"

namespace rssvane {

namespace {

bool IsFileReadFailure(int code) noexcept {
  return code == kErrFileOpen || (code >= kErrFileReadFirst && code <= kErrFileReadLast);
}

}  // namespace

FeedEngine::FeedEngine() {
  chain_.Attach(ConfigLevel::kRss, &feedSettings_);
  chain_.Attach(ConfigLevel::kTextConversion, &text_);
  reader_.Reset(text_.CharsetMode() != 0, text_.CodePage());
}

void FeedEngine::Reset() noexcept {
  reader_.Reset(text_.CharsetMode() != 0, text_.CodePage());
  chain_.RestoreResetDefaults();
  feed_.Reset();
}

int FeedEngine::ReadDocument(std::string_view text, std::string_view charset, std::string_view address) noexcept {
  // Read into a model of its own, which replaces the feed only once the
  // whole document is in it.
  std::unique_ptr<FeedState> read;
  try {
    read = std::make_unique<FeedState>();
  } catch (const std::bad_alloc&) {
    return feed_.Fail(kErrOutOfMemory);
  }
  reader_.Reset(text_.CharsetMode() != 0, text_.CodePage());
  if (int rc = ReadText(*read, text, charset, address)) return feed_.Fail(rc, read->LastErrorText());
  chain_.RestoreResetDefaults();
  feed_.SwapModel(*read);
  return 0;
}

int FeedEngine::ReadText(FeedState& into, std::string_view text, std::string_view charset, std::string_view address,
                         GrowString* owned) noexcept {
  DocumentDecoder decoder;
  if (feedSettings_.DecodeDocument()) {
    if (int rc = decoder.Decode(text, charset, text_.CodePage())) {
      into.Reset();
      return into.Fail(rc, decoder.Message());
    }
    text = decoder.Text();
  }
  if (feedSettings_.ReadAtom() && IsAtomDocument(text)) return ReadAtomDocument(into, reader_.Reader(), text, address);
  // A document the decoder had to convert becomes the document text as it
  // is, rather than a second copy of it.
  if (decoder.OwnsText()) return reader_.ReadDocument(into, decoder.TakeText());
  if (owned && text.data() == owned->CStr()) return reader_.ReadDocument(into, std::move(*owned));
  return reader_.ReadDocument(into, text);
}

int FeedEngine::ReadFile(std::string_view path) noexcept {
  try {
    std::string name(path);
    if (name.find('\0') != std::string::npos) return feed_.Fail(kErrFileOpen, "Can't open file for reading.");
    // Only the reader itself is prepared beforehand: a file that cannot be
    // read must leave every setting as it was.
    reader_.Reset(text_.CharsetMode() != 0, text_.CodePage());
    if (!feedSettings_.DecodeDocument() && !feedSettings_.ReadAtom()) {
      int rc = reader_.ReadFile(feed_, name.c_str());
      if (!IsFileReadFailure(rc)) chain_.RestoreResetDefaults();
      return rc;
    }
    // A local file has no address: its location is not where it was
    // published, so references still relative after xml:base stay so.
    GrowString bytes;
    if (int rc = LoadFile(feed_, name.c_str(), bytes)) return rc;
    chain_.RestoreResetDefaults();
    return ReadText(feed_, bytes.View(), {}, {}, &bytes);
  } catch (const std::bad_alloc&) {
    return feed_.Fail(kErrOutOfMemory);
  }
}

int FeedEngine::WriteFile(std::string_view path) noexcept {
  try {
    std::string name(path);
    if (name.find('\0') != std::string::npos) return feed_.Fail(kErrFileOpen, "Can't open file for writing.");
    return writer_.WriteFile(feed_, name.c_str());
  } catch (const std::bad_alloc&) {
    return feed_.Fail(kErrOutOfMemory);
  }
}

int FeedEngine::SetDocumentText(std::string_view text) noexcept {
  GrowString copy;
  if (copy.Assign(text) != 0) return feed_.Fail(kErrOutOfMemory);
  feed_.SetDocumentText(std::move(copy));
  feed_.SetModified(false);
  return 0;
}

int FeedEngine::GetProperty(std::string_view path, std::string_view& value) noexcept {
  return GetPropertyValue(feed_, path, value);
}

int FeedEngine::SetProperty(std::string_view path, std::string_view value) noexcept {
  return SetPropertyValue(feed_, path, value);
}

int FeedEngine::Config(std::string_view configurationString, std::string& answer) noexcept {
  answer.clear();
  try {
    ConfigResult result;
    int rc = chain_.Offer(ParseConfigString(configurationString), result);
    if (rc != 0) return feed_.Fail(rc, result.message);
    answer = std::move(result.value);
    return 0;
  } catch (const std::bad_alloc&) {
    return feed_.Fail(kErrOutOfMemory);
  }
}

int FeedEngine::AddItem(std::string_view title, std::string_view description, std::string_view link) noexcept {
  if (feed_.ItemCount() >= kMaxHostItems) return feed_.Fail(kErrInvalidIndex, "Cannot add more items.");
  return feed_.AddItem(title, description, link);
}

}  // namespace rssvane
