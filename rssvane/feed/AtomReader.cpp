#include "feed/AtomReader.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/Bytes.h"
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

// A person construct; its texts are kept in the feed's read store.
struct Person {
  std::string_view name, email, uri;
};

// The Atom elements the mapping tells apart, found once at the start tag so
// that no element's end compares its name with each of them.
enum class Name : uint8_t {
  kOther,
  kAuthor,
  kCategory,
  kContent,
  kContributor,
  kEmail,
  kEntry,
  kGenerator,
  kIcon,
  kId,
  kLink,
  kLogo,
  kName,
  kPublished,
  kRights,
  kSource,
  kSubtitle,
  kSummary,
  kTitle,
  kUpdated,
  kUri
};

// The extra field each of them becomes where RSS has no place for it.
constexpr std::string_view kExtraNames[] = {
    "",           "atom:author",  "atom:category", "atom:content",  "atom:contributor", "atom:email",
    "atom:entry", "atom:generator", "atom:icon",   "atom:id",       "atom:link",        "atom:logo",
    "atom:name",  "atom:published", "atom:rights", "atom:source",   "atom:subtitle",    "atom:summary",
    "atom:title", "atom:updated",   "atom:uri"};
static_assert(std::size(kExtraNames) == size_t(Name::kUri) + 1);

// Whether text is literal; with the length known here, the compare is a few
// loads rather than a call.
template <size_t N>
bool Is(std::string_view text, const char (&literal)[N]) noexcept {
  return text.size() == N - 1 && std::memcmp(text.data(), literal, N - 1) == 0;
}

template <size_t N>
std::string_view AttributeOf(const Attributes& attributes, const char (&name)[N]) noexcept {
  for (const auto& [attribute, value] : attributes) {
    if (Is(attribute, name)) return value;
  }
  return {};
}

Name NameOf(std::string_view local) noexcept {
  switch (local.size()) {
    case 2: return Is(local, "id") ? Name::kId : Name::kOther;
    case 3: return Is(local, "uri") ? Name::kUri : Name::kOther;
    case 4:
      return Is(local, "link")   ? Name::kLink
             : Is(local, "name") ? Name::kName
             : Is(local, "logo") ? Name::kLogo
             : Is(local, "icon") ? Name::kIcon
                                 : Name::kOther;
    case 5:
      return Is(local, "title")   ? Name::kTitle
             : Is(local, "entry") ? Name::kEntry
             : Is(local, "email") ? Name::kEmail
                                  : Name::kOther;
    case 6:
      return Is(local, "author")   ? Name::kAuthor
             : Is(local, "rights") ? Name::kRights
             : Is(local, "source") ? Name::kSource
                                   : Name::kOther;
    case 7:
      return Is(local, "summary")   ? Name::kSummary
             : Is(local, "content") ? Name::kContent
             : Is(local, "updated") ? Name::kUpdated
                                    : Name::kOther;
    case 8:
      return Is(local, "category")   ? Name::kCategory
             : Is(local, "subtitle") ? Name::kSubtitle
                                     : Name::kOther;
    case 9:
      return Is(local, "published")   ? Name::kPublished
             : Is(local, "generator") ? Name::kGenerator
                                      : Name::kOther;
    case 11: return Is(local, "contributor") ? Name::kContributor : Name::kOther;
    default: return Name::kOther;
  }
}

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
  Name name = Name::kOther;  // of an Atom element; an extension's is its end's
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
// is taken from the document as written: the reader, fed the whole document
// at once, names each tag's element by a view of the document itself, which
// tells where the tag stands.
class AtomBuilder : public XmlClient {
 public:
  AtomBuilder(FeedState& feed, XmlReader& reader, std::string_view document, std::string_view address)
      : feed_(feed), reader_(reader), document_(document), address_(address) {}

  // Texts are taken whole at end tags, or cut from the document.
  bool WantsTextPieces() const override { return false; }

  int StartElement(std::string_view uri, std::string_view local, std::string_view qualified, bool empty) override {
    return Guard([&] { return Start(uri, local, qualified, empty); });
  }
  int EndElement(std::string_view, std::string_view local, std::string_view qualified, bool) override {
    return Guard([&] { return End(local, qualified); });
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

  // Where in the document the name of the tag whose event this is stands,
  // or npos when it is not a view of the document.
  size_t NameAt(std::string_view qualified) const noexcept {
    auto at = reinterpret_cast<uintptr_t>(qualified.data());
    auto begin = reinterpret_cast<uintptr_t>(document_.data());
    if (qualified.size() > document_.size() || at < begin || at - begin > document_.size() - qualified.size()) {
      return std::string_view::npos;
    }
    return static_cast<size_t>(at - begin);
  }

  // Just past the start tag whose event this is, or npos when the tag does
  // not stand where its name says. A ">" inside a quoted value does not
  // end the tag; a "<" cannot stand in one.
  size_t PastStartTag(std::string_view qualified) const noexcept {
    size_t name = NameAt(qualified);
    if (name == std::string_view::npos || name == 0 || document_[name - 1] != '<') return std::string_view::npos;
    char quote = 0;
    for (size_t i = name + qualified.size(); i < document_.size(); ++i) {
      char c = document_[i];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        return i + 1;
      }
    }
    return std::string_view::npos;
  }

  // Where the end tag whose event this is begins, or npos.
  size_t EndTagStart(std::string_view qualified) const noexcept {
    size_t name = NameAt(qualified);
    if (name == std::string_view::npos || name < 2 || document_.substr(name - 2, 2) != "</") {
      return std::string_view::npos;
    }
    return name - 2;
  }

  // What the model keeps lives as long as the feed: a text of the document
  // (which the read store holds) is shared from it, any other (a text with
  // resolved references, a resolved link, a date) is copied into the store.
  std::string_view Keep(std::string_view text) {
    if (feed_.ReadStore().Keep(text, document_, text)) return text;
    throw std::bad_alloc();
  }

  // Copies the element's attributes, but for xml:base unless keepBase,
  // and notes its xml:base, so that the start need not look for it again.
  void CopyAttributes(bool keepBase, Attributes& attributes) {
    attributes.clear();
    size_t count = reader_.AttributeCount();
    for (size_t n = 1; n <= count; ++n) {
      std::string_view name, value;
      reader_.StartAttribute(n, name, value);
      if (Is(name, "xml:base")) {
        xmlBase_ = value;
        if (!keepBase) continue;
      }
      attributes.emplace_back(Keep(name), Keep(value));
    }
    attributesRead_ = true;
  }

  int Start(std::string_view uri, std::string_view local, std::string_view qualified, bool empty) {
    size_t depth = reader_.ElementDepth();
    if (levels_.size() <= depth) levels_.resize(depth + 1);
    Level& level = levels_[depth];
    level.baseFrom = depth == 0 ? std::string_view::npos : levels_[depth - 1].baseFrom;
    level.name = Name::kOther;
    level.inner = std::string_view::npos;
    level.role = Role::kIgnored;
    xmlBase_.reset();
    attributesRead_ = false;
    int rc = Classify(level, depth, uri, local, qualified, empty);
    // The base is used from the element's end on, and by its children.
    std::string_view xmlBase;
    if (!attributesRead_ && reader_.AttributeCount() > 0 && reader_.AttributeValue("xml:base", xmlBase) == 0) {
      xmlBase_ = xmlBase;
    }
    if (xmlBase_) {
      level.base = ResolveUriReference(BaseOf(level), *xmlBase_);
      level.baseFrom = depth;
    }
    return rc;
  }

  // Decides what the element is to the mapping.
  int Classify(Level& level, size_t depth, std::string_view uri, std::string_view local, std::string_view qualified,
               bool empty) {
    if (depth == 0) {
      // Only the first top-level element is the document's root.
      if (rootSeen_) return 0;
      rootSeen_ = true;
      level.role = Role::kFeed;
      return Root();
    }
    Role parent = levels_[depth - 1].role;
    bool atom = uri == kAtomNamespace;
    switch (parent) {
      case Role::kFeed:
      case Role::kEntry:
        if (!atom) {
          level.role = Role::kExtension;
          CopyAttributes(true, level.attributes);
          return DeclarePrefix(qualified, uri);
        }
        level.name = NameOf(local);
        switch (level.name) {
          case Name::kEntry:
            if (parent != Role::kFeed) break;
            level.role = Role::kEntry;
            return NewEntry();
          case Name::kAuthor:
          case Name::kContributor:
            level.role = Role::kPerson;
            level.person = Person();
            return 0;
          case Name::kSource:
            if (parent != Role::kEntry) break;
            level.role = Role::kSource;
            entry_.hasSource = true;
            return 0;
          default: break;
        }
        CopyAttributes(false, level.attributes);
        level.role = Role::kElement;
        if (IsTextConstruct(level.name) && Is(AttributeOf(level.attributes, "type"), "xhtml")) {
          level.role = Role::kXhtml;
          level.inner = empty ? std::string_view::npos : PastStartTag(qualified);
          markup_.reset();
        }
        return 0;
      case Role::kPerson:
        if (!atom) return 0;
        level.name = NameOf(local);
        if (level.name == Name::kName || level.name == Name::kEmail || level.name == Name::kUri) {
          level.role = Role::kPersonPart;
        }
        return 0;
      case Role::kSource:
        if (!atom) return 0;
        level.name = NameOf(local);
        if (level.name == Name::kTitle || level.name == Name::kLink) {
          level.role = Role::kSourcePart;
          CopyAttributes(false, level.attributes);
        } else if (level.name == Name::kAuthor) {
          level.role = Role::kPerson;
          level.person = Person();
        }
        return 0;
      case Role::kXhtml:
        // The div that RFC 4287 wraps the content in is not part of it.
        if (uri == kXhtmlNamespace && Is(local, "div") && !divSeen_) {
          divSeen_ = true;
          level.role = Role::kXhtmlDiv;
          level.inner = empty ? std::string_view::npos : PastStartTag(qualified);
          if (empty) markup_ = std::string_view();
        }
        return 0;
      default: return 0;
    }
  }

  static bool IsTextConstruct(Name name) noexcept {
    return name == Name::kTitle || name == Name::kSubtitle || name == Name::kRights || name == Name::kSummary ||
           name == Name::kContent;
  }

  int End(std::string_view local, std::string_view qualified) {
    size_t depth = reader_.ElementDepth();
    if (depth >= levels_.size()) return 0;
    Level& level = levels_[depth];
    Role parent = depth == 0 ? Role::kIgnored : levels_[depth - 1].role;
    switch (level.role) {
      case Role::kFeed: return FeedEnd();
      case Role::kEntry: return EntryEnd();
      case Role::kElement: return ElementEnd(level, parent, local, reader_.ElementText());
      case Role::kXhtml: {
        // The markup inside the div, or without one inside the element; its
        // own text should the tags not stand where the events say.
        size_t end = EndTagStart(qualified);
        if (!markup_ && level.inner != std::string_view::npos && end != std::string_view::npos && end >= level.inner) {
          markup_ = document_.substr(level.inner, end - level.inner);
        }
        std::string_view markup = markup_ ? Trimmed(*markup_) : reader_.ElementText();
        divSeen_ = false;
        return ElementEnd(level, parent, local, markup);
      }
      case Role::kXhtmlDiv: {
        size_t end = EndTagStart(qualified);
        if (level.inner != std::string_view::npos && end != std::string_view::npos && end >= level.inner) {
          markup_ = document_.substr(level.inner, end - level.inner);
        }
        return 0;
      }
      case Role::kExtension:
        return Extra(Container(parent), Keep(qualified), Keep(reader_.ElementText()), level.attributes);
      case Role::kPerson: return PersonEnd(level, parent);
      case Role::kPersonPart: {
        Person& person = levels_[depth - 1].person;
        std::string_view text = reader_.ElementText();
        if (level.name == Name::kName) person.name = Keep(text);
        if (level.name == Name::kEmail) person.email = Keep(text);
        if (level.name == Name::kUri) person.uri = Resolved(level, Keep(text));
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

  // A kept reference resolved against the base in scope at level, kept; a
  // reference is its own resolution when there is no base.
  std::string_view Resolved(const Level& level, std::string_view reference) {
    const std::string& base = BaseOf(level);
    return base.empty() ? reference : Keep(ResolveUriReference(base, reference));
  }

  // An extension element declared below the root would be written with a
  // prefix that nothing declares. The prefixes the feed has are looked up
  // here rather than in the feed's list, which is searched one by one: a
  // document may declare a new one on each of many elements.
  int DeclarePrefix(std::string_view qualified, std::string_view uri) {
    size_t colon = qualified.find(':');
    if (colon == std::string_view::npos || uri.empty()) return 0;
    std::string_view prefix = qualified.substr(0, colon);
    if (prefixes_.find(prefix) != prefixes_.end()) return 0;
    prefixes_.emplace(prefix);
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

  // Sets the attributes, each under the name rename gives it, but those it
  // names empty; room for them all is made at once.
  template <class Rename>
  int SetAttributes(FeedField& field, const Attributes& attributes, Rename rename) {
    size_t count = 0;
    for (const auto& attribute : attributes) count += rename(attribute.first).empty() ? 0 : 1;
    if (count == 0) return 0;
    if (field.ReserveAttributes(count, &feed_.ReadStore())) throw std::bad_alloc();
    for (const auto& [name, value] : attributes) {
      std::string_view renamed = rename(name);
      if (renamed.empty()) continue;
      if (int rc = field.ShareAttribute(renamed, value)) return feed_.Fail(rc);
    }
    return 0;
  }

  int SetAttributes(FeedField& field, const Attributes& attributes) {
    return SetAttributes(field, attributes, [](std::string_view name) { return name; });
  }

  // An extra field; name and text are kept already or outlive the feed, as
  // a text kept once is not copied again.
  int Extra(FeedContainer& container, std::string_view name, std::string_view text, const Attributes& attributes) {
    FeedField* field;
    if (container.AddSharedExtra(name, field)) return feed_.Fail(kErrListMemory, kFieldMemoryText);
    field->ShareText(text);
    return SetAttributes(*field, attributes);
  }

  // The extra field of an Atom element, with a text kept already: its name
  // is one of the mapping's, or else made from local.
  int AtomExtra(FeedContainer& container, Name name, std::string_view local, std::string_view text,
                const Attributes& attributes) {
    if (name != Name::kOther) return Extra(container, kExtraNames[static_cast<size_t>(name)], text, attributes);
    extraName_.assign("atom:").append(local);
    return Extra(container, Keep(extraName_), text, attributes);
  }

  // A date laid out on lines of its own is still a date.
  int Date(FeedContainer& container, size_t field, std::string_view text) {
    return SetText(container, field, AtomDateToRfc822(Trimmed(text), date_) ? std::string_view(date_) : text);
  }

  int ElementEnd(Level& level, Role parent, std::string_view local, std::string_view text) {
    Name name = level.name;
    FeedContainer& container = Container(parent);
    switch (name) {
      case Name::kLink: return Link(level, parent);
      case Name::kCategory: return Category(level, parent);
      case Name::kTitle:
        return SetText(container, FieldOf(parent, item_field::kTitle, channel_field::kTitle), text);
      default: break;
    }
    if (parent == Role::kFeed) {
      switch (name) {
        case Name::kSubtitle: return SetText(container, channel_field::kDescription, text);
        case Name::kRights: return SetText(container, channel_field::kCopyright, text);
        case Name::kUpdated: return Date(container, channel_field::kLastBuildDate, text);
        case Name::kLogo: logo_ = ResolveUriReference(BaseOf(level), text); return 0;
        case Name::kIcon:
          return AtomExtra(container, name, local, Resolved(level, Keep(text)), level.attributes);
        case Name::kGenerator: {
          FeedField& generator = container.Fixed(channel_field::kGenerator);
          if (int rc = Put(generator, text)) return rc;
          for (auto& [attribute, value] : level.attributes) {
            if (Is(attribute, "uri")) value = Resolved(level, value);
          }
          return SetAttributes(generator, level.attributes);
        }
        default: return AtomExtra(container, name, local, Keep(text), level.attributes);
      }
    }
    switch (name) {
      case Name::kSummary:
        entry_.hasSummary = true;
        entry_.summary = Keep(text);
        return 0;
      case Name::kContent:
        entry_.hasContent = true;
        entry_.content = Keep(text);
        for (auto& [attribute, value] : level.attributes) {
          if (Is(attribute, "src")) value = Resolved(level, value);
        }
        entry_.contentAttributes = level.attributes;
        return 0;
      case Name::kPublished: entry_.published = Keep(text); return 0;
      case Name::kUpdated: entry_.updated = Keep(text); return 0;
      case Name::kId: {
        FeedField& guid = container.Fixed(item_field::kGuid);
        if (int rc = Put(guid, text)) return rc;
        return PutAttribute(guid, "isPermaLink", "false");
      }
      default: return AtomExtra(container, name, local, Keep(text), level.attributes);
    }
  }

  int Link(Level& level, Role parent) {
    for (auto& [attribute, value] : level.attributes) {
      if (Is(attribute, "href")) value = Resolved(level, value);
    }
    std::string_view rel = AttributeOf(level.attributes, "rel");
    std::string_view href = AttributeOf(level.attributes, "href");
    FeedContainer& container = Container(parent);
    Taken& taken = TakenBy(parent);
    if ((rel.empty() || Is(rel, "alternate")) && !taken.link) {
      taken.link = true;
      FeedField& link = container.Fixed(FieldOf(parent, item_field::kLink, channel_field::kLink));
      link.ShareText(href);
      return SetAttributes(link, level.attributes, [](std::string_view name) {
        return Is(name, "href") || Is(name, "rel") ? std::string_view() : name;
      });
    }
    if (Is(rel, "enclosure") && parent == Role::kEntry && !taken.enclosure) {
      taken.enclosure = true;
      return SetAttributes(container.Fixed(item_field::kEnclosure), level.attributes, [](std::string_view name) {
        return Is(name, "rel") ? std::string_view() : Is(name, "href") ? std::string_view("url") : name;
      });
    }
    if (parent == Role::kFeed && otherLink_.empty()) otherLink_ = href;
    return AtomExtra(container, Name::kLink, {}, {}, level.attributes);
  }

  int Category(Level& level, Role parent) {
    FeedContainer& container = Container(parent);
    Taken& taken = TakenBy(parent);
    if (taken.category) return AtomExtra(container, Name::kCategory, {}, {}, level.attributes);
    taken.category = true;
    FeedField& category = container.Fixed(FieldOf(parent, item_field::kCategory, channel_field::kCategory));
    category.ShareText(AttributeOf(level.attributes, "term"));
    return SetAttributes(category, level.attributes, [](std::string_view name) {
      return Is(name, "term") ? std::string_view() : Is(name, "scheme") ? std::string_view("domain") : name;
    });
  }

  // A person as RSS writes its authors: "email (name)", or whichever it
  // has; kept.
  std::string_view PersonText(const Person& person) {
    if (person.email.empty() || person.name.empty()) return person.email.empty() ? person.name : person.email;
    personText_.assign(person.email).append(" (").append(person.name).append(")");
    return Keep(personText_);
  }

  int PersonEnd(Level& level, Role parent) {
    const Person& person = level.person;
    if (parent == Role::kSource) {
      if (!entry_.hasSourceAuthor) {
        entry_.hasSourceAuthor = true;
        entry_.sourceAuthor = person;
      }
      return 0;
    }
    Taken& taken = TakenBy(parent);
    FeedContainer& container = Container(parent);
    if (level.name == Name::kAuthor && !taken.author) {
      taken.author = true;
      if (parent == Role::kFeed) feedAuthor_ = person;
      return SetPerson(container.Fixed(FieldOf(parent, item_field::kAuthor, channel_field::kManagingEditor)),
                       person);
    }
    Attributes uri;
    if (!person.uri.empty()) uri.emplace_back("uri", person.uri);
    return AtomExtra(container, level.name, {}, PersonText(person), uri);
  }

  int SetPerson(FeedField& field, const Person& person) {
    field.ShareText(PersonText(person));
    return person.uri.empty() ? 0 : PutAttribute(field, "uri", person.uri);
  }

  int SourcePartEnd(Level& level) {
    if (level.name == Name::kTitle) {
      entry_.sourceTitle = Keep(reader_.ElementText());
      return 0;
    }
    std::string_view rel = AttributeOf(level.attributes, "rel");
    bool self = Is(rel, "self");
    bool alternate = rel.empty() || Is(rel, "alternate");
    if ((self && !entry_.sourceUrlIsSelf) || (alternate && entry_.sourceUrl.empty())) {
      entry_.sourceUrl = Resolved(level, AttributeOf(level.attributes, "href"));
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
      if (int rc = AtomExtra(item, Name::kContent, {}, entry_.content, entry_.contentAttributes)) return rc;
    }
    if (!entry_.published.empty()) {
      if (int rc = Date(item, item_field::kPubDate, entry_.published)) return rc;
      if (!entry_.updated.empty()) {
        if (int rc = AtomExtra(item, Name::kUpdated, {}, entry_.updated, {})) return rc;
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
  std::string personText_;
  std::string date_;
  // The xml:base of the element whose start this is, once its attributes
  // have been read.
  std::optional<std::string_view> xmlBase_;
  bool attributesRead_ = false;
  std::set<std::string, std::less<>> prefixes_;
  bool rootSeen_ = false;
  std::vector<long> authorless_;
  // The markup of the XHTML construct being read, once its div has ended.
  std::optional<std::string_view> markup_;
  bool divSeen_ = false;
  bool failed_ = false;
};

}  // namespace

int ReadAtomDocument(FeedState& feed, XmlReader& reader, std::string_view text, std::string_view address) noexcept {
  // The Atom text is not kept as the document text: the model now holds
  // RSS, which the document text is produced from when asked. It is read
  // from a copy in the read store instead, so that the model can share the
  // texts that need no change from it, as reading RSS shares them from the
  // document text.
  feed.Reset();
  // The copy ends at the first NUL, as a document does.
  if (!text.empty()) {
    auto* copy = static_cast<char*>(feed.ReadStore().Allocate(text.size()));
    if (!copy) return feed.Fail(kErrOutOfMemory);
    text = std::string_view(copy, CopyUpToNul(copy, text.data(), text.size()));
  }
  try {
    reader.SetXmlMode(true);
    reader.SetBuildTree(true);
    reader.SetKeepTree(false);
    AtomBuilder builder(feed, reader, text, address);
    XmlClient* previous = reader.Client();
    reader.SetClient(&builder);
    // In one piece, so that every name the reader reports is a view of it.
    int rc = reader.Feed(text.data(), text.size());
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
