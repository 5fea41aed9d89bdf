#include "feed/FeedReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "base/Codes.h"
#include "xml/HugePages.h"
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

// Merges the declarations in scope at the start of the root element into the
// feed's namespaces. A failure is recorded in the feed, so its message wins
// over the reader's.
class RootNamespaces : public XmlClient {
 public:
  RootNamespaces(FeedState& feed, XmlReader& reader) : feed_(feed), reader_(reader) {}

  int StartElement(std::string_view, std::string_view, std::string_view, bool) override {
    if (reader_.ElementDepth() != 0) return 0;
    for (size_t n = 1; n <= reader_.NamespaceCount(); ++n) {
      std::string_view prefix, uri;
      reader_.Namespace(n, prefix, uri);
      if (int rc = feed_.MergeNamespace(prefix, uri)) {
        failed_ = true;
        return rc;
      }
    }
    return 0;
  }

  bool Failed() const noexcept { return failed_; }

 private:
  FeedState& feed_;
  XmlReader& reader_;
  bool failed_ = false;
};

// Walks the document tree into the model.
class TreeWalk {
 public:
  TreeWalk(FeedState& feed, const XmlTree& tree) : feed_(feed), tree_(tree) {}

  int Root(uint32_t root) noexcept {
    std::string_view version;
    tree_.AttributeByName(root, "version", version);
    if (version == "0.91") {
      feed_.SetVersion(rssVersion091);
    } else if (version == "0.92") {
      feed_.SetVersion(rssVersion092);
    } else if (version == "2.0") {
      feed_.SetVersion(rssVersion200);
    } else if (version.empty()) {
      feed_.SetVersion(rssVersionUndefined);
    }
    for (uint32_t child = tree_.FirstChild(root); child; child = tree_.NextSibling(child)) {
      if (tree_.QualifiedName(child, name_)) return feed_.Fail(kErrOutOfMemory);
      std::string_view name = name_.View();
      int rc;
      if (name == "image") {
        rc = Container(feed_.Image(), child);
      } else if (EqualsIgnoreCase(name, "textInput")) {
        rc = Container(feed_.TextInput(), child);
      } else if (name == "item") {
        rc = NewItem(child);
      } else {
        rc = Channel(child);
      }
      if (rc) return rc;
    }
    return 0;
  }

 private:
  int Channel(uint32_t channel) noexcept {
    for (uint32_t child = tree_.FirstChild(channel); child; child = tree_.NextSibling(child)) {
      if (tree_.QualifiedName(child, name_)) return feed_.Fail(kErrOutOfMemory);
      std::string_view name = name_.View();
      int rc;
      if (name == "image") {
        rc = Container(feed_.Image(), child);
      } else if (name == "textInput") {
        rc = Container(feed_.TextInput(), child);
      } else if (name == "item") {
        rc = NewItem(child);
      } else {
        rc = Field(feed_.Channel(), child);
      }
      if (rc) return rc;
    }
    return 0;
  }

  int NewItem(uint32_t element) noexcept {
    FeedContainer* item;
    if (int rc = feed_.AppendItem(item)) return rc;
    return Container(*item, element);
  }

  int Container(FeedContainer& container, uint32_t element) noexcept {
    container.Clear();
    for (uint32_t child = tree_.FirstChild(element); child; child = tree_.NextSibling(child)) {
      if (int rc = Field(container, child)) return rc;
    }
    return 0;
  }

  int Field(FeedContainer& container, uint32_t element) noexcept {
    if (tree_.QualifiedName(element, name_)) return feed_.Fail(kErrOutOfMemory);
    FeedField* field = container.Find(name_.View());
    if (!field && container.AddExtra(name_.View(), field)) return feed_.Fail(kErrListMemory, kFieldMemoryText);
    if (int rc = feed_.SetFieldText(*field, tree_.Text(element))) return rc;
    uint32_t count = tree_.AttributeCount(element);
    for (uint32_t n = 1; n <= count; ++n) {
      uint32_t attribute = tree_.Attribute(element, n);
      if (tree_.AttributeQualifiedName(attribute, name_)) return feed_.Fail(kErrOutOfMemory);
      if (int rc = feed_.SetFieldAttribute(*field, name_.View(), tree_.AttributeValue(attribute))) return rc;
    }
    return 0;
  }

  FeedState& feed_;
  const XmlTree& tree_;
  GrowString name_;
};

}  // namespace

FeedReader::FeedReader() : reader_(new XmlReader) { Reset(false, 0); }

FeedReader::~FeedReader() = default;

void FeedReader::Reset(bool multiByte, int codePage) noexcept {
  reader_->SetMultiByte(multiByte);
  reader_->SetCodePage(codePage);
  reader_->SetBuildTree(true);
  reader_->Reset();
}

namespace {

int ReadDocumentInto(FeedReader& self, XmlReader& reader, FeedState& feed, std::string_view text,
                     GrowString* owned) noexcept {
  feed.Reset();
  self.Reset(reader.MultiByte(), reader.CodePage());
  const void* zero = std::memchr(text.data(), 0, text.size());
  if (zero) text = text.substr(0, static_cast<size_t>(static_cast<const char*>(zero) - text.data()));

  reader.SetXmlMode(true);
  reader.SetBuildTree(true);
  // The tree of a feed is about as large as its text, rarely less than
  // three quarters of it.
  if (text.size() >= (size_t{1} << 20) &&
      reader.Tree().ReserveFor(text.size() + text.size() / 8, text.size() / 4 * 3)) {
    return feed.Fail(kErrOutOfMemory, XmlErrorText(kErrOutOfMemory));
  }
  RootNamespaces client(feed, reader);
  XmlClient* previous = reader.Client();
  reader.SetClient(&client);
  int rc = reader.Feed(text.data(), text.size());
  if (rc == 0) rc = reader.Finish();
  reader.SetClient(previous);
  if (rc) {
    if (client.Failed()) return feed.LastError();
    return feed.Fail(rc, XmlErrorText(rc));
  }

  if (owned && owned->Length() == text.size()) {
    feed.DocumentText() = std::move(*owned);
  } else {
    GrowString& copy = feed.DocumentText();
    if (copy.Reserve(text.size())) return feed.Fail(kErrOutOfMemory);
    if (text.size() >= (size_t{4} << 20)) {
      AdviseHugePages(copy.Data(), copy.Capacity());
      PrefaultPages(copy.Data(), text.size());
    }
    if (copy.Assign(text)) return feed.Fail(kErrOutOfMemory);
  }

  XmlTree& tree = reader.Tree();
  if (int code = tree.Select("/")) return feed.Fail(code, XmlErrorText(code));
  TreeWalk walk(feed, tree);
  if (int code = walk.Root(tree.Root())) return code;
  feed.SetModified(false);
  return 0;
}

}  // namespace

int FeedReader::ReadDocument(FeedState& feed, std::string_view text) noexcept {
  return ReadDocumentInto(*this, *reader_, feed, text, nullptr);
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
  std::string_view text = buffer.View();
  return ReadDocumentInto(*this, *reader_, feed, text, &buffer);
}

}  // namespace rssvane
