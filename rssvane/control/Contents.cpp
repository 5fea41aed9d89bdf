#include "control/Contents.h"

#include <algorithm>
#include <iterator>

namespace rssvane {

namespace {

constexpr SavedProperty kSaved[] = {
    {1, u"Accept"},
    {2, u"AuthScheme"},
    {3, u"ChannelCategory"},
    {5, u"ChannelCopyright"},
    {6, u"ChannelDescription"},
    {7, u"ChannelDocs"},
    {8, u"ChannelLanguage"},
    {9, u"ChannelLastBuildDate"},
    {10, u"ChannelLink"},
    {11, u"ChannelManagingEditor"},
    {12, u"ChannelPubDate"},
    {13, u"ChannelTitle"},
    {14, u"ChannelWebMaster"},
    {16, u"FirewallHost"},
    {17, u"FirewallPassword"},
    {18, u"FirewallPort"},
    {19, u"FirewallType"},
    {20, u"FirewallUser"},
    {21, u"FollowRedirects"},
    {23, u"ImageLink"},
    {24, u"ImageTitle"},
    {25, u"ImageURL"},
    {41, u"Password"},
    {43, u"RSSVersion"},
    {44, u"TextInputDescription"},
    {45, u"TextInputLink"},
    {46, u"TextInputName"},
    {47, u"TextInputTitle"},
    {48, u"Timeout"},
    {49, u"User"},
};

constexpr std::string_view kMagic = "RSSP";
constexpr uint16_t kLayoutVersion = 1;

enum Kind : uint8_t { kText = 1, kInt16 = 2, kInt32 = 3 };

void PutLittleEndian(std::string& out, uint32_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
}

// Reads the stream from its start; every read says whether the bytes were
// there.
class Reader {
 public:
  explicit Reader(std::string_view bytes) noexcept : bytes_(bytes) {}

  bool Number(size_t size, uint32_t& value) noexcept {
    if (Left() < size) return false;
    value = 0;
    for (size_t i = 0; i < size; ++i) value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes_[at_ + i])) << (8 * i);
    at_ += size;
    return true;
  }
  bool Units(uint32_t count, std::u16string& out) {
    if (Left() / 2 < count) return false;
    out.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
      out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes_[at_]) |
                                     static_cast<unsigned char>(bytes_[at_ + 1]) << 8);
      at_ += 2;
    }
    return true;
  }
  size_t Left() const noexcept { return bytes_.size() - at_; }

 private:
  std::string_view bytes_;
  size_t at_ = 0;
};

}  // namespace

std::span<const SavedProperty> SavedProperties() noexcept { return kSaved; }

std::string WriteContents(const std::vector<SavedValue>& values) {
  std::string out(kMagic);
  PutLittleEndian(out, kLayoutVersion, 2);
  PutLittleEndian(out, static_cast<uint32_t>(values.size()), 2);
  for (const SavedValue& saved : values) {
    PutLittleEndian(out, static_cast<uint32_t>(saved.dispId), 2);
    switch (saved.value.GetType()) {
      case Variant::Type::kInt16:
        out += static_cast<char>(kInt16);
        PutLittleEndian(out, static_cast<uint16_t>(saved.value.Int16()), 2);
        break;
      case Variant::Type::kInt32:
        out += static_cast<char>(kInt32);
        PutLittleEndian(out, static_cast<uint32_t>(saved.value.Int32()), 4);
        break;
      default: {
        std::u16string text;
        saved.value.ToText(text);
        out += static_cast<char>(kText);
        PutLittleEndian(out, static_cast<uint32_t>(text.size()), 4);
        for (char16_t unit : text) PutLittleEndian(out, unit, 2);
      }
    }
  }
  return out;
}

bool ReadContents(std::string_view bytes, std::vector<SavedValue>& values, std::string& error) {
  values.clear();
  auto fail = [&](std::string reason) {
    values.clear();
    error = std::move(reason);
    return false;
  };
  auto cut = [&] { return fail("The saved properties end early, after " + std::to_string(bytes.size()) + " bytes."); };
  if (bytes.substr(0, kMagic.size()) != kMagic.substr(0, bytes.size())) {
    return fail("These are not saved properties of the RSS control.");
  }
  Reader reader(bytes);
  uint32_t magic, version, count;
  if (!reader.Number(kMagic.size(), magic) || !reader.Number(2, version) || !reader.Number(2, count)) return cut();
  if (version != kLayoutVersion) {
    return fail("The saved properties are of layout version " + std::to_string(version) +
                "; this control reads layout version " + std::to_string(kLayoutVersion) + ".");
  }
  if (count > std::size(kSaved)) {
    return fail("The saved properties claim " + std::to_string(count) + " values; there are at most " +
                std::to_string(std::size(kSaved)) + ".");
  }
  const SavedProperty* next = std::begin(kSaved);
  for (uint32_t n = 0; n < count; ++n) {
    uint32_t dispId, kind;
    if (!reader.Number(2, dispId) || !reader.Number(1, kind)) return cut();
    // Each property at most once, in the saved order.
    const SavedProperty* found =
        std::find_if(next, std::end(kSaved), [&](const SavedProperty& p) { return p.dispId == static_cast<int32_t>(dispId); });
    if (found == std::end(kSaved)) {
      return fail("The saved properties hold DISPID " + std::to_string(dispId) + " where it cannot be.");
    }
    next = found + 1;
    SavedValue saved{static_cast<int32_t>(dispId), {}};
    uint32_t number;
    switch (kind) {
      case kText: {
        std::u16string text;
        if (!reader.Number(4, number) || !reader.Units(number, text)) return cut();
        saved.value = Variant(std::move(text));
        break;
      }
      case kInt16:
        if (!reader.Number(2, number)) return cut();
        saved.value = Variant(static_cast<int16_t>(number));
        break;
      case kInt32:
        if (!reader.Number(4, number)) return cut();
        saved.value = Variant(static_cast<int32_t>(number));
        break;
      default:
        return fail("The saved properties hold a value of unknown kind " + std::to_string(kind) + ".");
    }
    values.push_back(std::move(saved));
  }
  if (reader.Left() > 0) {
    return fail("The saved properties are followed by " + std::to_string(reader.Left()) +
                (reader.Left() == 1 ? " more byte." : " more bytes."));
  }
  return true;
}

}  // namespace rssvane
