#include "feed/FeedReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <new>
#include <string>

#include "base/Codes.h"
#include "xml/XmlReader.h"

namespace rssvane {

namespace {

constexpr std::string_view kFieldMemoryText = "Unable to allocate memory for field in do_ParseElement.";
constexpr std::string_view kOpenText = "Can't open file for reading.";
constexpr std::string_view kReadText = "Error reading from local file.";
constexpr size_t kReadPiece = 2048;

bool EqualsIgnoreCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// Builds the model from the reader's events as they arrive, in the order a
// walk of the finished tree would visit the elements: the root's children
// (image, text input, items, and any other element walked as a channel),
// the channel's children, and the fields of each container. Only the
// elements the model keeps are looked at; their text comes from the reader
// at their end, their attributes at their start. A failure is recorded in
// the feed, so its message wins over the reader's.
class ModelBuilder : public XmlClient {
 public:
  ModelBuilder(FeedState& feed, XmlReader& reader, std::string_view document)
      : feed_(feed), reader_(reader), document_(document) {}

  // A field's text is taken whole at its end tag.
  bool WantsTextPieces() const override { return false; }

  int StartElement(std::string_view, std::string_view, std::string_view name, bool) override {
    size_t depth = reader_.ElementDepth();
    if (depth == 0) return Root();
    if (depth > kDeepest) return 0;
    Level& level = levels_[depth];
    level = {kIgnored, nullptr, nullptr};
    const Level& parent = levels_[depth - 1];
    switch (parent.role) {
      case kRoot:
        if (name == "image") return Container(level, feed_.Image());
        if (EqualsIgnoreCase(name, "textInput")) return Container(level, feed_.TextInput());
        if (name == "item") return NewItem(level);
        level.role = kChannel;
        return 0;
      case kChannel:
        if (name == "image") return Container(level, feed_.Image());
        if (name == "textInput") return Container(level, feed_.TextInput());
        if (name == "item") return NewItem(level);
        return Field(level, feed_.Channel(), name);
      case kContainer:
        return Field(level, *parent.container, name);
      default:
        return 0;
    }
  }

  int EndElement(std::string_view, std::string_view, std::string_view, bool) override {
    size_t depth = reader_.ElementDepth();
    if (depth == 0 || depth > kDeepest || levels_[depth].role != kField) return 0;
    std::string_view text;
    if (!Keep(reader_.ElementText(), text)) return OutOfMemory();
    levels_[depth].field->ShareText(text);
    return 0;
  }

  bool Failed() const noexcept { return failed_; }
  bool SawRoot() const noexcept { return sawRoot_; }
  int Version() const noexcept { return version_; }

 private:
  enum Role : uint8_t { kIgnored, kRoot, kChannel, kContainer, kField };
  struct Level {
    Role role;
    FeedContainer* container;
    FeedField* field;
  };
  // The root, a channel, an item in the channel and its fields.
  static constexpr size_t kDeepest = 3;

  int Failed(int rc) noexcept {
    failed_ = true;
    return rc;
  }
  int OutOfMemory() noexcept { return Failed(feed_.Fail(kErrOutOfMemory)); }

  // What the model keeps of the document: a text that is a part of the
  // document text is shared from it, anything else (a text with resolved
  // references, joined runs) is copied once into the feed's read store.
  bool Keep(std::string_view text, std::string_view& kept) noexcept {
    return feed_.ReadStore().Keep(text, document_, kept);
  }

  // The declarations in scope at the start of a top-level element join the
  // feed's namespaces. Only the first is the root, walked into the model,
  // whose version attribute decides the version.
  int Root() noexcept {
    for (size_t n = 1; n <= reader_.NamespaceCount(); ++n) {
      std::string_view prefix, uri;
      reader_.Namespace(n, prefix, uri);
      if (int rc = feed_.MergeNamespace(prefix, uri)) return Failed(rc);
    }
    levels_[0] = {sawRoot_ ? kIgnored : kRoot, nullptr, nullptr};
    if (sawRoot_) return 0;
    sawRoot_ = true;
    std::string_view version;
    reader_.AttributeValue("version", version);
    if (version == "0.91") {
      version_ = rssVersion091;
    } else if (version == "0.92") {
      version_ = rssVersion092;
    } else if (version == "2.0") {
      version_ = rssVersion200;
    } else if (version.empty()) {
      version_ = rssVersionUndefined;
    }
    return 0;
  }

  int Container(Level& level, FeedContainer& container) noexcept {
    container.Clear();
    level = {kContainer, &container, nullptr};
    return 0;
  }

  int NewItem(Level& level) noexcept {
    FeedContainer* item;
    if (int rc = feed_.AppendItem(item, &feed_.ReadStore())) return Failed(rc);
    // A new item has nothing to clear.
    level = {kContainer, item, nullptr};
    return 0;
  }

  int Field(Level& level, FeedContainer& container, std::string_view name) noexcept {
    FeedField* field = container.Find(name);
    if (!field) {
      std::string_view kept;
      if (!Keep(name, kept) || container.AddSharedExtra(kept, field)) {
        return Failed(feed_.Fail(kErrListMemory, kFieldMemoryText));
      }
    }
    size_t count = reader_.AttributeCount();
    if (count > 0 && field->ReserveAttributes(count, &feed_.ReadStore())) return OutOfMemory();
    for (size_t n = 1; n <= count; ++n) {
      std::string_view attribute, value;
      reader_.StartAttribute(n, attribute, value);
      if (!Keep(attribute, attribute) || !Keep(value, value)) return OutOfMemory();
      if (int rc = field->ShareAttribute(attribute, value)) return Failed(feed_.Fail(rc));
    }
    level = {kField, &container, field};
    return 0;
  }

  FeedState& feed_;
  XmlReader& reader_;
  std::string_view document_;
  Level levels_[kDeepest + 1] = {};
  int version_ = rssVersion200;
  bool sawRoot_ = false;
  bool failed_ = false;
};

}  // namespace

FeedReader::FeedReader() : reader_(new XmlReader) { Reset(false, 0); }

FeedReader::~FeedReader() = default;

void FeedReader::Reset(bool multiByte, int codePage) noexcept {
  reader_->SetMultiByte(multiByte);
  reader_->SetCodePage(codePage);
  reader_->SetBuildTree(true);
  reader_->SetKeepTree(false);
  reader_->Reset();
}

namespace {

int ReadDocumentInto(FeedReader& self, XmlReader& reader, FeedState& feed, std::string_view text,
                     GrowString* owned) noexcept {
  feed.Reset();
  self.Reset(reader.MultiByte(), reader.CodePage());
  // The document text is the text that was read, up to its first NUL; the
  // model is read from it.
  if (owned) {
    if (const void* zero = std::memchr(text.data(), 0, text.size())) {
      owned->Truncate(static_cast<size_t>(static_cast<const char*>(zero) - text.data()));
    }
    if (int rc = feed.SetReadText(std::move(*owned))) return rc;
  } else if (int rc = feed.SetReadText(text)) {
    return rc;
  }
  text = feed.DocumentText();

  reader.SetXmlMode(true);
  reader.SetBuildTree(true);
  reader.SetKeepTree(false);
  ModelBuilder builder(feed, reader, text);
  XmlClient* previous = reader.Client();
  reader.SetClient(&builder);
  int rc = reader.Feed(text.data(), text.size());
  if (rc == 0) rc = reader.Finish();
  reader.SetClient(previous);
  if (rc) {
    // A document that is not read leaves a reset feed, but for the
    // namespaces of its root, as the read stopped after its start.
    int code = builder.Failed() ? feed.LastError() : rc;
    std::string message(builder.Failed() ? feed.LastErrorText() : XmlErrorText(rc));
    feed.ResetKeepingNamespaces();
    return feed.Fail(code, message);
  }
  if (!builder.SawRoot()) return feed.Fail(kErrXmlNoTree, XmlErrorText(kErrXmlNoTree));
  feed.SetVersion(builder.Version());
  feed.SetModified(false);
  return 0;
}

}  // namespace

int FeedReader::ReadDocument(FeedState& feed, std::string_view text) noexcept {
  return ReadDocumentInto(*this, *reader_, feed, text, nullptr);
}

int FeedReader::ReadDocument(FeedState& feed, GrowString&& text) noexcept {
  return ReadDocumentInto(*this, *reader_, feed, text.View(), &text);
}

int LoadFile(FeedState& feed, const char* path, GrowString& bytes) noexcept {
  int fd = path ? ::open(path, O_RDONLY | O_CLOEXEC) : -1;
  struct stat info;
  if (fd >= 0 && (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode))) {
    ::close(fd);
    fd = -1;
  }
  if (fd < 0) return feed.Fail(kErrFileOpen, kOpenText);

  size_t size = static_cast<size_t>(info.st_size);
  if (bytes.Reserve(size)) {
    ::close(fd);
    return feed.Fail(kErrOutOfMemory);
  }
  size_t done = 0;
  while (done < size) {
    size_t want = size - done < kReadPiece ? size - done : kReadPiece;
    char piece[kReadPiece];
    ssize_t got = ::read(fd, piece, want);
    if (got < 0) {
      ::close(fd);
      return feed.Fail(6, kReadText);
    }
    if (static_cast<size_t>(got) < want) {
      ::close(fd);
      return feed.Fail(10, kReadText);
    }
    bytes.Append(std::string_view(piece, want));
    done += want;
  }
  ::close(fd);
  return 0;
}

int FeedReader::ReadFile(FeedState& feed, const char* path) noexcept {
  GrowString buffer;
  if (int rc = LoadFile(feed, path, buffer)) return rc;
  return ReadDocument(feed, std::move(buffer));
}

}  // namespace rssvane
