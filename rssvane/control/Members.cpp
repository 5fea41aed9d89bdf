#include "control/Members.h"

#include <iterator>

#include "feed/FeedContainer.h"

namespace rssvane {

namespace {

constexpr bool kRuntime = true;

constexpr MemberInfo Text(int32_t id, std::u16string_view name, Section section, size_t field,
                          const char* attribute = nullptr, bool runtimeOnly = false) {
  return {id, name, false, 0, false, runtimeOnly, section, field, attribute};
}
constexpr MemberInfo ItemText(int32_t id, std::u16string_view name, size_t field, const char* attribute = nullptr) {
  return {id, name, false, 1, false, kRuntime, Section::kItem, field, attribute};
}
constexpr MemberInfo Property(int32_t id, std::u16string_view name, uint8_t indexes, bool readOnly, bool runtimeOnly) {
  return {id, name, false, indexes, readOnly, runtimeOnly, Section::kNone, 0, nullptr};
}
constexpr MemberInfo Method(int32_t id, std::u16string_view name, uint8_t parameters) {
  return {id, name, true, parameters, false, false, Section::kNone, 0, nullptr};
}

constexpr MemberInfo kMembers[] = {
    Property(kDispAccept, u"Accept", 0, false, false),
    Property(kDispAuthScheme, u"AuthScheme", 0, false, false),
    Text(kDispChannelCategory, u"ChannelCategory", Section::kChannel, channel_field::kCategory),
    Text(kDispChannelCategoryDomain, u"ChannelCategoryDomain", Section::kChannel, channel_field::kCategory, "domain",
         kRuntime),
    Text(kDispChannelCopyright, u"ChannelCopyright", Section::kChannel, channel_field::kCopyright),
    Text(kDispChannelDescription, u"ChannelDescription", Section::kChannel, channel_field::kDescription),
    Text(kDispChannelDocs, u"ChannelDocs", Section::kChannel, channel_field::kDocs),
    Text(kDispChannelLanguage, u"ChannelLanguage", Section::kChannel, channel_field::kLanguage),
    Text(kDispChannelLastBuildDate, u"ChannelLastBuildDate", Section::kChannel, channel_field::kLastBuildDate),
    Text(kDispChannelLink, u"ChannelLink", Section::kChannel, channel_field::kLink),
    Text(kDispChannelManagingEditor, u"ChannelManagingEditor", Section::kChannel, channel_field::kManagingEditor),
    Text(kDispChannelPubDate, u"ChannelPubDate", Section::kChannel, channel_field::kPubDate),
    Text(kDispChannelTitle, u"ChannelTitle", Section::kChannel, channel_field::kTitle),
    Text(kDispChannelWebMaster, u"ChannelWebMaster", Section::kChannel, channel_field::kWebMaster),
    Property(kDispConnected, u"Connected", 0, false, kRuntime),
    Property(kDispFirewallHost, u"FirewallHost", 0, false, false),
    Property(kDispFirewallPassword, u"FirewallPassword", 0, false, false),
    Property(kDispFirewallPort, u"FirewallPort", 0, false, false),
    Property(kDispFirewallType, u"FirewallType", 0, false, false),
    Property(kDispFirewallUser, u"FirewallUser", 0, false, false),
    Property(kDispFollowRedirects, u"FollowRedirects", 0, false, false),
    Property(kDispIdle, u"Idle", 0, true, false),
    Text(kDispImageLink, u"ImageLink", Section::kImage, image_field::kLink),
    Text(kDispImageTitle, u"ImageTitle", Section::kImage, image_field::kTitle),
    Text(kDispImageURL, u"ImageURL", Section::kImage, image_field::kUrl),
    ItemText(kDispItemAuthor, u"ItemAuthor", item_field::kAuthor),
    ItemText(kDispItemCategory, u"ItemCategory", item_field::kCategory),
    ItemText(kDispItemCategoryDomain, u"ItemCategoryDomain", item_field::kCategory, "domain"),
    ItemText(kDispItemComments, u"ItemComments", item_field::kComments),
    Property(kDispItemCount, u"ItemCount", 0, false, kRuntime),
    ItemText(kDispItemDescription, u"ItemDescription", item_field::kDescription),
    ItemText(kDispItemGuid, u"ItemGuid", item_field::kGuid),
    ItemText(kDispItemLink, u"ItemLink", item_field::kLink),
    ItemText(kDispItemPubDate, u"ItemPubDate", item_field::kPubDate),
    ItemText(kDispItemSource, u"ItemSource", item_field::kSource),
    ItemText(kDispItemSourceURL, u"ItemSourceURL", item_field::kSource, "url"),
    ItemText(kDispItemTitle, u"ItemTitle", item_field::kTitle),
    Property(kDispNamespaceCount, u"NamespaceCount", 0, false, kRuntime),
    Property(kDispNamespacePrefixes, u"NamespacePrefixes", 1, false, kRuntime),
    Property(kDispNamespaces, u"Namespaces", 1, false, kRuntime),
    Property(kDispPassword, u"Password", 0, false, false),
    Property(kDispRSSData, u"RSSData", 0, true, kRuntime),
    Property(kDispRSSVersion, u"RSSVersion", 0, false, false),
    Text(kDispTextInputDescription, u"TextInputDescription", Section::kTextInput, text_input_field::kDescription),
    Text(kDispTextInputLink, u"TextInputLink", Section::kTextInput, text_input_field::kLink),
    Text(kDispTextInputName, u"TextInputName", Section::kTextInput, text_input_field::kName),
    Text(kDispTextInputTitle, u"TextInputTitle", Section::kTextInput, text_input_field::kTitle),
    Property(kDispTimeout, u"Timeout", 0, false, false),
    Property(kDispUser, u"User", 0, false, false),
    Property(kDispTransferTextB, u"TransferTextB", 0, true, kRuntime),
    Method(kDispConfig, u"Config", 1),
    Method(kDispAddItem, u"AddItem", 3),
    Method(kDispAddNamespace, u"AddNamespace", 2),
    Method(kDispGetFeed, u"GetFeed", 1),
    Method(kDispGetProperty, u"GetProperty", 1),
    Method(kDispGetURL, u"GetURL", 1),
    Method(kDispPut, u"Put", 1),
    Method(kDispReadFile, u"ReadFile", 1),
    Method(kDispReset, u"Reset", 0),
    Method(kDispSetProperty, u"SetProperty", 2),
    Method(kDispWriteFile, u"WriteFile", 1),
};

char16_t Lower(char16_t c) noexcept { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool SameName(std::u16string_view a, std::u16string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::span<const MemberInfo> AllMembers() noexcept { return kMembers; }

const MemberInfo* FindMember(int32_t dispId) noexcept {
  for (const MemberInfo& member : kMembers) {
    if (member.dispId == dispId) return &member;
  }
  return nullptr;
}

const MemberInfo& MemberByDispId(int32_t dispId) noexcept { return *FindMember(dispId); }

const MemberInfo* MemberByName(std::u16string_view name) noexcept {
  for (const MemberInfo& member : kMembers) {
    if (SameName(member.name, name)) return &member;
  }
  return nullptr;
}

}  // namespace rssvane
