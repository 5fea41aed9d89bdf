#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace rssvane {

// The published members of the control, with their DISPIDs and what
// late-bound access needs to know about each.
enum : int32_t {
  kDispAccept = 1,
  kDispAuthScheme = 2,
  kDispChannelCategory = 3,
  kDispChannelCategoryDomain = 4,
  kDispChannelCopyright = 5,
  kDispChannelDescription = 6,
  kDispChannelDocs = 7,
  kDispChannelLanguage = 8,
  kDispChannelLastBuildDate = 9,
  kDispChannelLink = 10,
  kDispChannelManagingEditor = 11,
  kDispChannelPubDate = 12,
  kDispChannelTitle = 13,
  kDispChannelWebMaster = 14,
  kDispConnected = 15,
  kDispFirewallHost = 16,
  kDispFirewallPassword = 17,
  kDispFirewallPort = 18,
  kDispFirewallType = 19,
  kDispFirewallUser = 20,
  kDispFollowRedirects = 21,
  kDispIdle = 22,
  kDispImageLink = 23,
  kDispImageTitle = 24,
  kDispImageURL = 25,
  kDispItemAuthor = 26,
  kDispItemCategory = 27,
  kDispItemCategoryDomain = 28,
  kDispItemComments = 29,
  kDispItemCount = 30,
  kDispItemDescription = 31,
  kDispItemGuid = 32,
  kDispItemLink = 33,
  kDispItemPubDate = 34,
  kDispItemSource = 35,
  kDispItemSourceURL = 36,
  kDispItemTitle = 37,
  kDispNamespaceCount = 38,
  kDispNamespacePrefixes = 39,
  kDispNamespaces = 40,
  kDispPassword = 41,
  kDispRSSData = 42,
  kDispRSSVersion = 43,
  kDispTextInputDescription = 44,
  kDispTextInputLink = 45,
  kDispTextInputName = 46,
  kDispTextInputTitle = 47,
  kDispTimeout = 48,
  kDispUser = 49,
  kDispTransferTextB = 50,
  kDispConfig = 501,
  kDispAddItem = 502,
  kDispAddNamespace = 503,
  kDispGetFeed = 504,
  kDispGetProperty = 505,
  kDispGetURL = 506,
  kDispPut = 507,
  kDispReadFile = 508,
  kDispReset = 509,
  kDispSetProperty = 510,
  kDispWriteFile = 511,
};

// How a member is being used, which decides the help reference of its errors.
enum class Access : uint8_t { kRead, kWrite, kCall };

enum class Section : uint8_t { kNone, kChannel, kImage, kTextInput, kItem };

struct MemberInfo {
  int32_t dispId;
  std::u16string_view name;
  bool isMethod;
  uint8_t parameters;  // a method's arguments; 1 for an indexed property
  bool readOnly;
  bool runtimeOnly;  // refuses reads while a designer edits the host's form
  // For text properties mapped onto a fixed field: where it is and, for an
  // attribute of it, the attribute's name.
  Section section;
  size_t field;
  const char* attribute;
};

// Every member, in DISPID order.
std::span<const MemberInfo> AllMembers() noexcept;
// The member with that DISPID; every DISPID above is in the table.
const MemberInfo& MemberByDispId(int32_t dispId) noexcept;
// The member with that name ignoring ASCII case, or null.
const MemberInfo* MemberByName(std::u16string_view name) noexcept;
// Null for a DISPID that is not a member.
const MemberInfo* FindMember(int32_t dispId) noexcept;

}  // namespace rssvane
