#include "feed/AtomReader.h"

#include <cstring>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/Codes.h"
#include "base/UriReference.h"
#include "feed/AtomDocument.h"
#include "xml/XmlReader.h"

namespace rssvane {

namespace {

constexpr std::string_view kXhtmlNamespace = "http://www.w3.org/1999/xhtml";
constexpr std::string_view kFieldMemoryText = "Unable to allocate memory for field in do_ParseElement.";

// Attribute names and values, kept in the feed's read store.
using Attributes = std::vector<std::pair<std::string_view, std::string_view>>;

bool IsSpace(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) noexcept {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view AttributeOf(const Attributes& attributes, std::string_view name) noexcept {
  for (const auto& [attribute, value] : attributes) {
    if (attribute == name) return value;
  }
  return {};
}

// A person construct, written as RSS writes its authors.
struct Person {
  std::string name, email, uri;

  std::string Text() const {
    if (!email.empty() && !name.empty()) return email + " (" + name + ")";
    return email.empty() ? name : email;
  }
};

// What an element is to the mapping.
enum class Role : uint8_t {
  kIgnored,     // inside an element whose children the model does not keep
  kFeed,        // the root
  kEntry,       // an entry: an item
  kElement,     // an Atom element of the feed or of an entry
  kExtension,   // an element of another namespace there: an extra field
  kPerson,      // author or contributor
  kPersonPart,  // its name, email or uri
  kSource,      // an entry's source
  kSourcePart,  // its title or a link
  kXhtml,       // a text construct of type xhtml
  kXhtmlDiv     // the div that wraps its markup
};

struct Level {
  Role role = Role::kIgnored;
  // The base URI in scope is the one of the level baseFrom (its own when
  // it has an xml:base), or the document's address (npos): an element
  // without one does not copy its parent's, however long.
  std::string base;
  size_t baseFrom = std::string_view::npos;
  std::string name;   // the Atom local name, or the qualified name of an extension element
  Attributes attributes;
  // Where the markup inside an XHTML construct or its div begins in the
  // document, or npos.
  size_t inner = std::string_view::npos;
  Person person;
};

// The links, categories and authors a container has taken so far: the first
// of each fills the RSS field, later ones become extra fields.
struct Taken {
  bool link = false, enclosure = false, category = false, author = false;
};

// What an entry holds until its end decides where it goes.
struct Entry {
  FeedContainer* item = nullptr;
  long index = 0;
  Taken taken;
  bool hasSummary = false, hasContent = false;
  // Texts kept in the feed's read store.
  std::string_view summary, content, published, updated;
  Attributes contentAttributes;
  bool hasSourceAuthor = false;
  Person sourceAuthor;
  bool hasSource = false, sourceUrlIsSelf = false;
  std::string_view sourceTitle, sourceUrl;
};

// Builds the model from the reader's events. Text comes from the reader at
// each element's end, as RSS reading takes it. The markup of XHTML content
// is taken from the document as written: the caller feeds the reader so
// that each tag of such a construct begins a piece (PieceEnd), and says where
// each piece begins, so that the construct's events tell where its tags
// stand.
class AtomBuilder : public XmlClient {
 public:
  AtomBuilder(FeedState& feed, XmlReader& reader, std::string_view document, std::string_view address)
      : feed_(feed), reader_(reader), document_(document), address_(address) {}

  void SetPieceStart(size_t start) noexcept { pieceStart_ = start; }
  // Inside an XHTML construct, where each tag must begin a piece.
  bool InXhtml() const noexcept { return xhtmlOpen_; }

  int StartElement(std::string_view uri, std::string_view local, std::string_view qualified, bool empty) override {
    return Guard([&] { return Start(uri, local, qualified, empty); });
  }
  int EndElement(std::string_view, std::string_view, std::string_view, bool) override {
    return Guard([&] { return End(); });
  }

  bool Failed() const noexcept { return failed_; }

 private:
  template <class Step>
  int Guard(Step&& step) noexcept {
    try {
      int rc = step();
      if (rc) failed_ = true;
      return rc;
    } catch (const std::bad_alloc&) {
      failed_ = true;
      return feed_.Fail(kErrOutOfMemory);
    }
  }

  // Just past the start tag whose event this is, or npos when the tag does
  // not stand where the piece begins. A ">" inside a quoted value does not
  // end the tag; a "<" cannot stand in one.
  size_t PastStartTag(std::string_view qualified) const noexcept {
    std::string_view piece = document_.substr(pieceStart_);
    if (piece.size() <= qualified.size() || piece[0] != '<' || piece.substr(1, qualified.size()) != qualified) {
      return std::string_view::npos;
    }
    char quote = 0;
    for (size_t i = 1 + qualified.size(); i < piece.size(); ++i) {
      char c = piece[i];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        return pieceStart_ + i + 1;
      }
    }
    return std::string_view::npos;
  }

  // Where the end tag whose event this is begins, or npos.
  size_t EndTagStart() const noexcept {
    return document_.substr(pieceStart_, 2) == "</" ? pieceStart_ : std::string_view::npos;
  }

  // What the model keeps lives in the feed's read store, as an RSS read
  // keeps it: a few blocks rather than an allocation per text.
  std::string_view Keep(std::string_view text) {
    std::string_view kept;
    if (!feed_.ReadStore().Copy(text, kept)) throw std::bad_alloc();
    return kept;
  }

  void CopyAttributes(bool keepBase, Attributes& attributes) {
    for (size_t n = 1; n <= reader_.AttributeCount(); ++n) {
      std::string_view name, value;
      reader_.StartAttribute(n, name, value);
      if (!keepBase && name == "xml:base") continue;
      attributes.emplace_back(Keep(name), Keep(value));
    }
  }

  int Start(std::string_view uri, std::string_view local, std::string_view qualified, bool empty) {
    size_t depth = reader_.ElementDepth();
    if (levels_.size() <= depth) levels_.resize(depth + 1);
    Level& level = levels_[depth];
    level.baseFrom = depth == 0 ? std::string_view::npos : levels_[depth - 1].baseFrom;
    std::string_view xmlBase;
    if (reader_.AttributeValue("xml:base", xmlBase) == 0) {
      level.base = ResolveUriReference(BaseOf(level), xmlBase);
      level.baseFrom = depth;
    }
    level.name.clear();
    level.attributes.clear();
    level.person = Person();
    level.inner = std::string_view::npos;
    level.role = Role::kIgnored;
    if (depth == 0) {
      // Only the first top-level element is the document's root.
      if (rootSeen_) return 0;
      rootSeen_ = true;
      level.role = Role::kFeed;
      return Root();
    }
    bool atom = uri == kAtomNamespace;
    switch (levels_[depth - 1].role) {
      case Role::kFeed:
      case Role::kEntry:
        if (!atom) {
          level.role = Role::kExtension;
          level.name = qualified;
          CopyAttributes(true, level.attributes);
          return DeclarePrefix(qualified, uri);
        }
        level.name = local;
        if (local == "entry" && levels_[depth - 1].role == Role::kFeed) {
          level.role = Role::kEntry;
          return NewEntry();
        }
        if (local == "author" || local == "contributor") {
          level.role = Role::kPerson;
        } else if (local == "source" && levels_[depth - 1].role == Role::kEntry) {
          level.role = Role::kSource;
          entry_.hasSource = true;
        } else {
          CopyAttributes(false, level.attributes);
          bool textConstruct = local == "title" || local == "subtitle" || local == "rights" || local == "summary" ||
                               local == "content";
          level.role = textConstruct && AttributeOf(level.attributes, "type") == "xhtml" ? Role::kXhtml
                                                                                         : Role::kElement;
          if (level.role == Role::kXhtml) {
            level.inner = empty ? std::string_view::npos : PastStartTag(qualified);
            markup_.reset();
            xhtmlOpen_ = true;
          }
        }
        return 0;
      case Role::kPerson:
        if (atom && (local == "name" || local == "email" || local == "uri")) {
          level.role = Role::kPersonPart;
          level.name = local;
        }
        return 0;
      case Role::kSource:
        if (atom && (local == "title" || local == "link")) {
          level.role = Role::kSourcePart;
          level.name = local;
          CopyAttributes(false, level.attributes);
        } else if (atom && local == "author") {
          level.role = Role::kPerson;
          level.name = local;
        }
        return 0;
      case Role::kXhtml:
        // The div that RFC 4287 wraps the content in is not part of it.
        if (uri == kXhtmlNamespace && local == "div" && !divSeen_) {
          divSeen_ = true;
          level.role = Role::kXhtmlDiv;
          level.inner = empty ? std::string_view::npos : PastStartTag(qualified);
          if (empty) markup_ = std::string_view();
        }
        return 0;
      default: return 0;
    }
  }

  int End() {
    size_t depth = reader_.ElementDepth();
    if (depth >= levels_.size()) return 0;
    Level& level = levels_[depth];
    Role parent = depth == 0 ? Role::kIgnored : levels_[depth - 1].role;
    switch (level.role) {
      case Role::kFeed: return FeedEnd();
      case Role::kEntry: return EntryEnd();
      case Role::kElement: return ElementEnd(level, parent, reader_.ElementText());
      case Role::kXhtml: {
        // The markup inside the div, or without one inside the element; its
        // own text should the tags not stand where the events say.
        if (!markup_ && level.inner != std::string_view::npos && EndTagStart() != std::string_view::npos) {
          markup_ = document_.substr(level.inner, EndTagStart() - level.inner);
        }
        std::string_view markup = markup_ ? Trimmed(*markup_) : reader_.ElementText();
        divSeen_ = false;
        xhtmlOpen_ = false;
        return ElementEnd(level, parent, markup);
      }
      case Role::kXhtmlDiv:
        if (level.inner != std::string_view::npos && EndTagStart() != std::string_view::npos) {
          markup_ = document_.substr(level.inner, EndTagStart() - level.inner);
        }
        return 0;
      case Role::kExtension: return Extra(Container(parent), level.name, reader_.ElementText(), level.attributes);
      case Role::kPerson: return PersonEnd(level, parent);
      case Role::kPersonPart: {
        Person& person = levels_[depth - 1].person;
        std::string_view text = reader_.ElementText();
        if (level.name == "name") person.name = text;
        if (level.name == "email") person.email = text;
        if (level.name == "uri") person.uri = ResolveUriReference(BaseOf(level), text);
        return 0;
      }
      case Role::kSourcePart: return SourcePartEnd(level);
      default: return 0;
    }
  }

  // The root's namespaces are the feed's, but for Atom's as the default:
  // RSS elements have none. The extra fields use the prefix atom.
  int Root() {
    for (size_t n = 1; n <= reader_.NamespaceCount(); ++n) {
      std::string_view prefix, uri;
      reader_.Namespace(n, prefix, uri);
      if (prefix.empty() && uri == kAtomNamespace) continue;
      if (int rc = feed_.MergeNamespace(prefix, uri)) return rc;
      prefixes_.emplace(prefix);
    }
    if (int rc = feed_.MergeNamespace("atom", kAtomNamespace)) return rc;
    prefixes_.emplace("atom");
    if (int rc = feed_.SetVersion(rssVersion200)) return rc;
    std::string_view language;
    if (reader_.AttributeValue("xml:lang", language) == 0) {
      return Put(feed_.Channel().Fixed(channel_field::kLanguage), language);
    }
    return 0;
  }

  const std::string& BaseOf(const Level& level) const noexcept {
    return level.baseFrom == std::string_view::npos ? address_ : levels_[level.baseFrom].base;
  }

  // An extension element declared below the root would be written with a
  // prefix that nothing declares. The prefixes the feed has are looked up
  // here rather than in the feed's list, which is searched one by one: a
  // document may declare a new one on each of many elements.
  int DeclarePrefix(std::string_view qualified, std::string_view uri) {
    size_t colon = qualified.find(':');
    if (colon == std::string_view::npos || uri.empty()) return 0;
    std::string_view prefix = qualified.substr(0, colon);
    if (!prefixes_.emplace(prefix).second) return 0;
    return feed_.AddNamespace(prefix, uri);
  }

  FeedContainer& Container(Role parent) noexcept { return parent == Role::kEntry ? *entry_.item : feed_.Channel(); }
  // The fixed field of an item or of the channel that has the same part.
  static size_t FieldOf(Role parent, size_t itemField, size_t channelField) noexcept {
    return parent == Role::kEntry ? itemField : channelField;
  }
  Taken& TakenBy(Role parent) noexcept { return parent == Role::kEntry ? entry_.taken : channelTaken_; }

  int NewEntry() {
    Attributes contentAttributes = std::move(entry_.contentAttributes);
    contentAttributes.clear();
    entry_ = Entry();
    entry_.contentAttributes = std::move(contentAttributes);
    if (int rc = feed_.AppendItem(entry_.item, &feed_.ReadStore())) return rc;
    entry_.index = static_cast<long>(feed_.ItemCount());
    return 0;
  }

  int Put(FeedField& field, std::string_view text) {
    field.ShareText(Keep(text));
    return 0;
  }

  int SetText(FeedContainer& container, size_t field, std::string_view text) {
    return Put(container.Fixed(field), text);
  }

  // Sets the attribute of that name, replacing its value or appending it;
  // name and value are kept already or outlive the feed.
  int PutAttribute(FeedField& field, std::string_view name, std::string_view value) {
    if (field.ReserveAttributes(1, &feed_.ReadStore())) throw std::bad_alloc();
    if (int rc = field.ShareAttribute(name, value)) return feed_.Fail(rc);
    return 0;
  }

  int SetAttributes(FeedField& field, const Attributes& attributes) {
    if (!attributes.empty() && field.ReserveAttributes(attributes.size(), &feed_.ReadStore())) {
      throw std::bad_alloc();
    }
    for (const auto& [name, value] : attributes) {
      if (int rc = field.ShareAttribute(name, value)) return feed_.Fail(rc);
    }
    return 0;
  }

  int Extra(FeedContainer& container, std::string_view name, std::string_view text, const Attributes& attributes) {
    FeedField* field;
    if (container.AddSharedExtra(Keep(name), field)) return feed_.Fail(kErrListMemory, kFieldMemoryText);
    if (int rc = Put(*field, text)) return rc;
    return SetAttributes(*field, attributes);
  }

  int AtomExtra(FeedContainer& container, std::string_view local, std::string_view text,
                const Attributes& attributes) {
    extraName_.assign("atom:").append(local);
    return Extra(container, extraName_, text, attributes);
  }

  // A date laid out on lines of its own is still a date.
  int Date(FeedContainer& container, size_t field, std::string_view text) {
    return SetText(container, field, AtomDateToRfc822(Trimmed(text), date_) ? std::string_view(date_) : text);
  }

  int ElementEnd(Level& level, Role parent, std::string_view text) {
    const std::string& name = level.name;
    FeedContainer& container = Container(parent);
    if (name == "link") return Link(level, parent);
    if (name == "category") return Category(level, parent);
    if (name == "title") return SetText(container, FieldOf(parent, item_field::kTitle, channel_field::kTitle), text);
    if (parent == Role::kFeed) {
      if (name == "subtitle") return SetText(container, channel_field::kDescription, text);
      if (name == "rights") return SetText(container, channel_field::kCopyright, text);
      if (name == "updated") return Date(container, channel_field::kLastBuildDate, text);
      if (name == "logo") {
        logo_ = ResolveUriReference(BaseOf(level), text);
        return 0;
      }
      if (name == "icon") return AtomExtra(container, name, ResolveUriReference(BaseOf(level), text), level.attributes);
      if (name == "generator") {
        FeedField& generator = container.Fixed(channel_field::kGenerator);
        if (int rc = Put(generator, text)) return rc;
        for (auto& [attribute, value] : level.attributes) {
          if (attribute == "uri") value = Keep(ResolveUriReference(BaseOf(level), value));
        }
        return SetAttributes(generator, level.attributes);
      }
      return AtomExtra(container, name, text, level.attributes);
    }
    if (name == "summary") {
      entry_.hasSummary = true;
      entry_.summary = Keep(text);
      return 0;
    }
    if (name == "content") {
      entry_.hasContent = true;
      entry_.content = Keep(text);
      for (auto& [attribute, value] : level.attributes) {
        if (attribute == "src") value = Keep(ResolveUriReference(BaseOf(level), value));
      }
      entry_.contentAttributes = level.attributes;
      return 0;
    }
    if (name == "published") {
      entry_.published = Keep(text);
      return 0;
    }
    if (name == "updated") {
      entry_.updated = Keep(text);
      return 0;
    }
    if (name == "id") {
      FeedField& guid = container.Fixed(item_field::kGuid);
      if (int rc = Put(guid, text)) return rc;
      return PutAttribute(guid, "isPermaLink", "false");
    }
    return AtomExtra(container, name, text, level.attributes);
  }

  int Link(Level& level, Role parent) {
    for (auto& [attribute, value] : level.attributes) {
      if (attribute == "href") value = Keep(ResolveUriReference(BaseOf(level), value));
    }
    std::string_view rel = AttributeOf(level.attributes, "rel");
    std::string_view href = AttributeOf(level.attributes, "href");
    FeedContainer& container = Container(parent);
    Taken& taken = TakenBy(parent);
    if ((rel.empty() || rel == "alternate") && !taken.link) {
      taken.link = true;
      FeedField& link = container.Fixed(FieldOf(parent, item_field::kLink, channel_field::kLink));
      link.ShareText(href);
      for (const auto& [attribute, value] : level.attributes) {
        if (attribute == "href" || attribute == "rel") continue;
        if (int rc = PutAttribute(link, attribute, value)) return rc;
      }
      return 0;
    }
    if (rel == "enclosure" && parent == Role::kEntry && !taken.enclosure) {
      taken.enclosure = true;
      FeedField& enclosure = container.Fixed(item_field::kEnclosure);
      for (const auto& [attribute, value] : level.attributes) {
        if (attribute == "rel") continue;
        if (int rc = PutAttribute(enclosure, attribute == "href" ? "url" : attribute, value)) return rc;
      }
      return 0;
    }
    if (parent == Role::kFeed && otherLink_.empty()) otherLink_ = href;
    return AtomExtra(container, "link", {}, level.attributes);
  }

  int Category(Level& level, Role parent) {
    FeedContainer& container = Container(parent);
    Taken& taken = TakenBy(parent);
    if (taken.category) return AtomExtra(container, "category", {}, level.attributes);
    taken.category = true;
    FeedField& category = container.Fixed(FieldOf(parent, item_field::kCategory, channel_field::kCategory));
    for (const auto& [attribute, value] : level.attributes) {
      if (attribute == "term") {
        category.ShareText(value);
        continue;
      }
      int rc = PutAttribute(category, attribute == "scheme" ? "domain" : attribute, value);
      if (rc) return rc;
    }
    return 0;
  }

  int PersonEnd(Level& level, Role parent) {
    const Person& person = level.person;
    Attributes uri;
    if (!person.uri.empty()) uri.emplace_back("uri", Keep(person.uri));
    if (parent == Role::kSource) {
      if (!entry_.hasSourceAuthor) {
        entry_.hasSourceAuthor = true;
        entry_.sourceAuthor = person;
      }
      return 0;
    }
    Taken& taken = TakenBy(parent);
    FeedContainer& container = Container(parent);
    if (level.name == "author" && !taken.author) {
      taken.author = true;
      if (parent == Role::kFeed) feedAuthor_ = person;
      return SetPerson(container.Fixed(FieldOf(parent, item_field::kAuthor, channel_field::kManagingEditor)),
                       person);
    }
    return AtomExtra(container, level.name, person.Text(), uri);
  }

  int SetPerson(FeedField& field, const Person& person) {
    if (int rc = Put(field, person.Text())) return rc;
    return person.uri.empty() ? 0 : PutAttribute(field, "uri", Keep(person.uri));
  }

  int SourcePartEnd(Level& level) {
    if (level.name == "title") {
      entry_.sourceTitle = Keep(reader_.ElementText());
      return 0;
    }
    std::string_view rel = AttributeOf(level.attributes, "rel");
    bool self = rel == "self";
    bool alternate = rel.empty() || rel == "alternate";
    if ((self && !entry_.sourceUrlIsSelf) || (alternate && entry_.sourceUrl.empty())) {
      entry_.sourceUrl = Keep(ResolveUriReference(BaseOf(level), AttributeOf(level.attributes, "href")));
      entry_.sourceUrlIsSelf = self;
    }
    return 0;
  }

  int EntryEnd() {
    FeedContainer& item = *entry_.item;
    if (entry_.hasSummary) item.Fixed(item_field::kDescription).ShareText(entry_.summary);
    bool contentIsDescription =
        !entry_.hasSummary && entry_.hasContent && AttributeOf(entry_.contentAttributes, "src").empty();
    if (contentIsDescription) {
      item.Fixed(item_field::kDescription).ShareText(entry_.content);
    } else if (entry_.hasContent) {
      if (int rc = AtomExtra(item, "content", entry_.content, entry_.contentAttributes)) return rc;
    }
    if (!entry_.published.empty()) {
      if (int rc = Date(item, item_field::kPubDate, entry_.published)) return rc;
      if (!entry_.updated.empty()) {
        if (int rc = AtomExtra(item, "updated", entry_.updated, {})) return rc;
      }
    } else if (!entry_.updated.empty()) {
      if (int rc = Date(item, item_field::kPubDate, entry_.updated)) return rc;
    }
    if (entry_.hasSource) {
      FeedField& source = item.Fixed(item_field::kSource);
      source.ShareText(entry_.sourceTitle);
      if (!entry_.sourceUrl.empty()) {
        if (int rc = PutAttribute(source, "url", entry_.sourceUrl)) return rc;
      }
    }
    if (!entry_.taken.author) {
      if (entry_.hasSourceAuthor) return SetPerson(item.Fixed(item_field::kAuthor), entry_.sourceAuthor);
      // The feed's author may come after its entries.
      authorless_.push_back(entry_.index);
    }
    return 0;
  }

  // RSS 2.0 requires a channel's link and description, which Atom does not:
  // the feed's other links (its self link, usually) or its address stand for
  // the one, its title for the other.
  int FeedEnd() {
    FeedContainer& channel = feed_.Channel();
    if (channel.Fixed(channel_field::kLink).Text().empty()) {
      if (int rc = SetText(channel, channel_field::kLink, otherLink_.empty() ? address_ : otherLink_)) return rc;
    }
    if (channel.Fixed(channel_field::kDescription).Text().empty()) {
      if (int rc = SetText(channel, channel_field::kDescription, channel.Fixed(channel_field::kTitle).Text())) return rc;
    }
    if (!logo_.empty()) {
      FeedContainer& image = feed_.Image();
      if (int rc = SetText(image, image_field::kUrl, logo_)) return rc;
      if (int rc = SetText(image, image_field::kTitle, channel.Fixed(channel_field::kTitle).Text())) return rc;
      if (int rc = SetText(image, image_field::kLink, channel.Fixed(channel_field::kLink).Text())) return rc;
    }
    if (!channelTaken_.author) return 0;
    for (long index : authorless_) {
      if (int rc = SetPerson(feed_.Item(index)->Fixed(item_field::kAuthor), feedAuthor_)) return rc;
    }
    return 0;
  }

  FeedState& feed_;
  XmlReader& reader_;
  std::string_view document_;
  std::string address_;
  std::vector<Level> levels_;
  Entry entry_;
  Taken channelTaken_;
  Person feedAuthor_;
  std::string logo_;
  std::string otherLink_;
  std::string extraName_;
  std::string date_;
  std::set<std::string, std::less<>> prefixes_;
  bool rootSeen_ = false;
  std::vector<long> authorless_;
  size_t pieceStart_ = 0;
  // The markup of the XHTML construct being read, once its div has ended.
  std::optional<std::string_view> markup_;
  bool divSeen_ = false;
  bool xhtmlOpen_ = false;
  bool failed_ = false;
};

// Where the piece fed from start ends. The builder finds the markup of an
// XHTML construct from where its tags begin, so inside one every tag begins
// a piece; elsewhere a piece runs on to the tag before the next "xhtml",
// which any start tag of such a construct holds (a type given through a
// reference loses only the markup: the element's text stands for it), so
// that the rest of a feed is read in few calls.
size_t PieceEnd(std::string_view text, size_t start, bool inXhtml) noexcept {
  auto nextTag = [&](size_t from) {
    size_t at = text.find('<', from);
    return at == std::string_view::npos ? text.size() : at;
  };
  if (inXhtml) return nextTag(start + 1);
  size_t mark = text.find("xhtml", start + 1);
  if (mark == std::string_view::npos) return text.size();
  size_t tag = text.rfind('<', mark);
  return tag != std::string_view::npos && tag > start ? tag : nextTag(mark);
}

}  // namespace

int ReadAtomDocument(FeedState& feed, XmlReader& reader, std::string_view text, std::string_view address) noexcept {
  // The Atom text is not kept as the document text: the model now holds
  // RSS, which the document text is produced from when asked.
  feed.Reset();
  const void* zero = std::memchr(text.data(), 0, text.size());
  if (zero) text = text.substr(0, static_cast<size_t>(static_cast<const char*>(zero) - text.data()));
  try {
    reader.SetXmlMode(true);
    reader.SetBuildTree(true);
    reader.SetKeepTree(false);
    AtomBuilder builder(feed, reader, text, address);
    XmlClient* previous = reader.Client();
    reader.SetClient(&builder);
    int rc = 0;
    for (size_t start = 0; start < text.size() && rc == 0;) {
      size_t end = PieceEnd(text, start, builder.InXhtml());
      builder.SetPieceStart(start);
      rc = reader.Feed(text.data() + start, end - start);
      start = end;
    }
    if (rc == 0) rc = reader.Finish();
    reader.SetClient(previous);
    if (rc) {
      int code = builder.Failed() ? feed.LastError() : rc;
      std::string message(builder.Failed() ? feed.LastErrorText() : XmlErrorText(rc));
      feed.Reset();
      return feed.Fail(code, message);
    }
  } catch (const std::bad_alloc&) {
    feed.Reset();
    return feed.Fail(kErrOutOfMemory);
  }
  feed.SetModified(false);
  return 0;
}

}  // namespace rssvane
