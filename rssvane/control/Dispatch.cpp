// Late-bound access to the control: a member found by name or DISPID, its
// arguments coerced to the member's parameter types, its result returned as
// a Variant, and every failure raised as the member itself raises it.
#include <vector>

#include "control/RSSImpl.h"

namespace rssvane {

namespace {

Access AccessOf(RSS::DispatchKind kind) noexcept {
  switch (kind) {
    case RSS::DispatchKind::kPropertyGet: return Access::kRead;
    case RSS::DispatchKind::kPropertyPut: return Access::kWrite;
    default: return Access::kCall;
  }
}

}  // namespace

int32_t RSS::DispIdOfName(std::u16string_view name) noexcept {
  const MemberInfo* member = MemberByName(name);
  return member ? member->dispId : kDispIdUnknown;
}

Variant RSS::Invoke(std::u16string_view name, DispatchKind kind, const std::vector<Variant>& args) {
  return Invoke(DispIdOfName(name), kind, args);
}

Variant RSS::Invoke(int32_t dispId, DispatchKind kind, const std::vector<Variant>& args) {
  const Access access = AccessOf(kind);
  const MemberInfo* member = FindMember(dispId);
  if (!member || member->isMethod != (kind == DispatchKind::kMethod)) {
    impl_->RaiseInterface(kHrMemberNotFound, u"Object doesn't support this property or method.", dispId, Access::kRead);
  }
  if (kind == DispatchKind::kPropertyPut && member->readOnly) {
    impl_->RaiseInterface(kHrReadOnly, u"Property is read-only.", dispId, Access::kWrite);
  }
  size_t expected = member->parameters + (kind == DispatchKind::kPropertyPut ? 1u : 0u);
  if (args.size() != expected) {
    impl_->RaiseInterface(kHrWrongArguments, u"Wrong number of arguments or invalid property assignment.", dispId,
                          access);
  }

  auto coerced = [&](uint32_t hresult) {
    if (hresult == kHrOverflow) impl_->RaiseInterface(hresult, u"Overflow.", dispId, access);
    if (hresult != 0) impl_->RaiseInterface(hresult, u"Type mismatch.", dispId, access);
  };
  auto text = [&](size_t i) {
    std::u16string out;
    coerced(args[i].ToText(out));
    return out;
  };
  auto int16 = [&](size_t i) {
    int16_t out;
    coerced(args[i].ToInt16(out));
    return out;
  };
  auto boolean = [&](size_t i) {
    bool out;
    coerced(args[i].ToBool(out));
    return out;
  };
  auto int32 = [&](size_t i) {
    int32_t out;
    coerced(args[i].ToInt32(out));
    return out;
  };
  const bool get = kind == DispatchKind::kPropertyGet;

  if (!member->isMethod && member->section == Section::kItem) {
    if (get) return impl_->GetItemText(dispId, int16(0));
    impl_->SetItemText(dispId, int16(0), text(1));
    return {};
  }
  if (!member->isMethod && member->section != Section::kNone) {
    if (get) return impl_->GetText(dispId);
    impl_->SetText(dispId, text(0));
    return {};
  }

  switch (dispId) {
    case kDispItemCount:
      if (get) return ItemCount();
      SetItemCount(int16(0));
      return {};
    case kDispNamespaceCount:
      if (get) return NamespaceCount();
      SetNamespaceCount(int16(0));
      return {};
    case kDispNamespacePrefixes:
      if (get) return NamespacePrefixes(int16(0));
      SetNamespacePrefixes(int16(0), text(1));
      return {};
    case kDispNamespaces:
      if (get) return Namespaces(int16(0));
      SetNamespaces(int16(0), text(1));
      return {};
    case kDispRSSData: return RSSData();
    case kDispRSSVersion:
      if (get) return static_cast<int32_t>(RSSVersion());
      SetRSSVersion(int32(0));
      return {};
    case kDispConnected:
      if (get) return Connected();
      SetConnected(boolean(0));
      return {};
    case kDispAccept:
      if (get) return Accept();
      SetAccept(text(0));
      return {};
    case kDispAuthScheme:
      if (get) return static_cast<int32_t>(AuthScheme());
      SetAuthScheme(int32(0));
      return {};
    case kDispFollowRedirects:
      if (get) return static_cast<int32_t>(FollowRedirects());
      SetFollowRedirects(int32(0));
      return {};
    case kDispUser:
      if (get) return User();
      SetUser(text(0));
      return {};
    case kDispPassword:
      if (get) return Password();
      SetPassword(text(0));
      return {};
    case kDispIdle: return Idle();
    case kDispTransferTextB: return TransferTextB();
    case kDispTimeout:
      if (get) return Timeout();
      SetTimeout(int16(0));
      return {};
    case kDispFirewallType:
      if (get) return static_cast<int32_t>(FirewallType());
      SetFirewallType(int32(0));
      return {};
    case kDispFirewallHost:
      if (get) return FirewallHost();
      SetFirewallHost(text(0));
      return {};
    case kDispFirewallPort:
      if (get) return FirewallPort();
      SetFirewallPort(int32(0));
      return {};
    case kDispFirewallUser:
      if (get) return FirewallUser();
      SetFirewallUser(text(0));
      return {};
    case kDispFirewallPassword:
      if (get) return FirewallPassword();
      SetFirewallPassword(text(0));
      return {};
    case kDispConfig: return Config(text(0));
    case kDispAddItem: AddItem(text(0), text(1), text(2)); return {};
    case kDispAddNamespace: AddNamespace(text(0), text(1)); return {};
    case kDispGetFeed: GetFeed(text(0)); return {};
    case kDispGetProperty: return GetProperty(text(0));
    case kDispGetURL: GetURL(text(0)); return {};
    case kDispPut: Put(text(0)); return {};
    case kDispReadFile: ReadFile(text(0)); return {};
    case kDispReset: Reset(); return {};
    case kDispSetProperty: SetProperty(text(0), text(1)); return {};
    case kDispWriteFile: WriteFile(text(0)); return {};
    default: break;
  }
  impl_->RaiseInterface(kHrMemberNotFound, u"Object doesn't support this property or method.", dispId, Access::kRead);
}

}  // namespace rssvane
