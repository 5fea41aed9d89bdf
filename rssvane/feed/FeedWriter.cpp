#include "feed/FeedWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "base/Codes.h"
#include "base/FileWrite.h"

namespace rssvane {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kIndent4 = "    ";
constexpr std::string_view kIndent6 = "      ";

// The version bit that fields are checked against; 0 checks nothing.
unsigned CheckedVersionBit(int version) noexcept {
  switch (version) {
    case rssVersion091: return kVersion091;
    case rssVersion092: return kVersion092;
    case rssVersion200: return kVersion200;
    default: return 0;
  }
}

// Appends to the output and remembers the first failure, so the layout code
// reads as the layout and the check happens once per element.
class Output {
 public:
  explicit Output(GrowString& text) noexcept : text_(text) {}
  void Put(std::string_view s) noexcept {
    if (text_.Append(s) != 0) failed_ = true;
  }
  void Put(char c) noexcept {
    if (text_.Append(c) != 0) failed_ = true;
  }
  bool Failed() const noexcept { return failed_; }

 private:
  GrowString& text_;
  bool failed_ = false;
};

void PutElement(Output& out, const FeedField& field, std::string_view indent) noexcept {
  std::string_view name = field.Name();
  out.Put(indent);
  out.Put('<');
  out.Put(name);
  for (size_t i = 0, n = field.AttributeCount(); i < n; ++i) {
    out.Put(' ');
    out.Put(field.AttributeName(i));
    out.Put("=\"");
    out.Put(field.AttributeValue(i));
    out.Put('"');
  }
  std::string_view text = field.Text();
  if (text.empty()) {
    out.Put("/>");
  } else {
    out.Put('>');
    out.Put(text);
    out.Put("</");
    out.Put(name);
    out.Put('>');
  }
  out.Put(kCrLf);
}

// The fixed fields by the version rule, then (when allowed) every extra field,
// content or not and unchecked. False when a required field is missing.
bool PutFields(Output& out, const FeedContainer& container, unsigned v, bool allowNonRss,
               std::string_view indent) noexcept {
  for (size_t i = 0, n = container.FixedCount(); i < n; ++i) {
    const FeedField& field = container.Fixed(i);
    if (field.HasContent() && (v == 0 || (field.Allowed() & v) != 0)) {
      PutElement(out, field, indent);
    } else if (v != 0 && (field.Required() & v) != 0) {
      return false;
    }
  }
  if (allowNonRss) {
    for (size_t i = 0, n = container.ExtraCount(); i < n; ++i) PutElement(out, *container.Extra(i), indent);
  }
  return true;
}

bool HasAnyContent(const FeedContainer& container) noexcept {
  if (container.ExtraCount() > 0) return true;
  for (size_t i = 0, n = container.FixedCount(); i < n; ++i) {
    if (container.Fixed(i).HasContent()) return true;
  }
  return false;
}

// The image or the text input, wrapped in its element; left out when empty.
bool PutSection(Output& out, const FeedContainer& container, unsigned v, bool allowNonRss, std::string_view open,
                std::string_view close) noexcept {
  out.Put(open);
  if (!PutFields(out, container, v, allowNonRss, kIndent6)) return false;
  out.Put(close);
  return true;
}

// Writes text over the file itself. A regular file is flushed to the disk
// before it counts as written; a device or a pipe has nothing to flush.
int WriteInPlace(FeedState& feed, const std::string& target, std::string_view text, bool flush) noexcept {
  int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return feed.Fail(kErrFileOpen, "Can't open file for writing.");
  bool written = WriteAll(fd, text) && (!flush || ::fsync(fd) == 0);
  if (::close(fd) != 0) written = false;
  if (!written) return feed.Fail(kErrFileWrite, "Error writing to local file.");
  return 0;
}

// Whether the caller may write the file itself, asked the way a direct open
// asks: the replacement goes through the folder, whose permissions are not
// the file's.
bool MayWrite(const std::string& target) noexcept {
  int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace

int FeedWriter::Produce(FeedState& feed, GrowString& out) noexcept {
  out.Clear();
  if (feed.Generator().empty() && feed.SetGenerator(kGeneratorText) != 0) return feed.Fail(kErrOutOfMemory);
  const unsigned v = CheckedVersionBit(feed.Version());
  const bool allowNonRss = feed.AllowNonRss();
  Output o(out);

  o.Put(" <?xml version=\"1.0\"?>\r\n<rss");
  switch (feed.Version()) {
    case rssVersion091: o.Put(" version=\"0.91\""); break;
    case rssVersion092: o.Put(" version=\"0.92\""); break;
    case rssVersion200: o.Put(" version=\"2.0\""); break;
    default: break;
  }
  if (!feed.DefaultNamespace().empty()) {
    o.Put(" xmlns=\"");
    o.Put(feed.DefaultNamespace());
    o.Put('"');
  }
  size_t prefixAt = 0, uriAt = 0;
  for (size_t n = 0; n < feed.NamespaceCount(); ++n) {
    o.Put(" xmlns:");
    o.Put(feed.NamespacePrefixes().Next(prefixAt));
    o.Put("=\"");
    o.Put(feed.NamespaceUris().Next(uriAt));
    o.Put('"');
  }
  o.Put(">\r\n  <channel>\r\n");

  if (!PutFields(o, feed.Channel(), v, allowNonRss, kIndent4)) return feed.Fail(kErrVersionCheck);

  if (HasAnyContent(feed.Image())) {
    if (!PutSection(o, feed.Image(), v, allowNonRss, "    <image>\r\n", "    </image>\r\n")) {
      return feed.Fail(kErrVersionCheck);
    }
  } else if (v == kVersion091 || v == kVersion092) {
    return feed.Fail(kErrVersionCheck);
  }

  if (HasAnyContent(feed.TextInput()) &&
      !PutSection(o, feed.TextInput(), v, allowNonRss, "    <textInput>\r\n", "    </textInput>\r\n")) {
    return feed.Fail(kErrVersionCheck);
  }

  for (size_t n = 1, count = feed.ItemCount(); n <= count; ++n) {
    const FeedContainer& item = *feed.Item(static_cast<long>(n));
    if ((v == kVersion092 || v == kVersion200) && !item.Fixed(item_field::kTitle).HasContent() &&
        !item.Fixed(item_field::kDescription).HasContent()) {
      return feed.Fail(kErrVersionCheck);
    }
    if (!PutSection(o, item, v, allowNonRss, "    <item>\r\n", "    </item>\r\n")) return feed.Fail(kErrVersionCheck);
  }

  o.Put("  </channel>\r\n</rss>\r\n");
  if (o.Failed()) return feed.Fail(kErrOutOfMemory);
  return 0;
}

int FeedWriter::DocumentText(FeedState& feed, std::string_view& out) noexcept {
  out = {};
  if (feed.DocumentText().empty() || feed.Modified()) {
    GrowString produced;
    ++productions_;
    if (int rc = Produce(feed, produced)) {
      feed.SetModified(true);
      return rc;
    }
    feed.SetDocumentText(std::move(produced));
    feed.SetModified(false);
  }
  out = feed.DocumentText();
  return 0;
}

int FeedWriter::WriteFile(FeedState& feed, const char* path) noexcept {
  std::string_view text;
  if (int rc = DocumentText(feed, text)) return rc;
  try {
    std::string target = path ? path : "";
    // Writing through a symbolic link must change the file it points to,
    // not replace the link with a plain file.
    struct stat info;
    if (!target.empty() && ::lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
      char resolved[PATH_MAX];
      if (::realpath(target.c_str(), resolved)) target = resolved;
    }
    bool existed = !target.empty() && ::stat(target.c_str(), &info) == 0;
    if (target.empty() || (existed && S_ISDIR(info.st_mode))) {
      return feed.Fail(kErrFileOpen, "Can't open file for writing.");
    }

    // A device or a pipe is written in place: there is no file to keep, and
    // renaming over it would replace the device itself.
    if (existed && !S_ISREG(info.st_mode)) return WriteInPlace(feed, target, text, false);
    if (existed) {
      if (!MayWrite(target)) return feed.Fail(kErrFileOpen, "Can't open file for writing.");
      // A file with several names stays one file: a replacement would
      // give this name a new file and leave the others with the old one.
      if (info.st_nlink > 1) return WriteInPlace(feed, target, text, true);
    }

    std::string tempPath;
    int fd = CreateTemporaryBeside(target, tempPath);
    if (fd < 0) {
      // A folder the caller may not add to still lets a writable file be
      // written over, as a direct open does.
      if (existed) return WriteInPlace(feed, target, text, true);
      return feed.Fail(kErrFileOpen, "Can't open file for writing.");
    }
    // The replacement keeps the old file's permissions.
    if (existed) (void)::fchmod(fd, info.st_mode & 07777);
    bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
    if (::close(fd) != 0) written = false;
    if (!written) {
      ::unlink(tempPath.c_str());
      return feed.Fail(kErrFileWrite, "Error writing to local file.");
    }
    if (::rename(tempPath.c_str(), target.c_str()) != 0) {
      ::unlink(tempPath.c_str());
      // A folder that keeps others from replacing its files (the sticky
      // bit) still lets a writable file be written over.
      if (existed) return WriteInPlace(feed, target, text, true);
      return feed.Fail(kErrFileOpen, "Can't open file for writing.");
    }
    SyncFolderOf(target);
  } catch (const std::bad_alloc&) {
    return feed.Fail(kErrOutOfMemory);
  }
  return 0;
}

}  // namespace rssvane
