#include "rssvane/RSS.h"

#include <iterator>
#include <new>
#include <string>

#include "base/CodePage.h"
#include "base/Codes.h"
#include "control/RSSImpl.h"

namespace rssvane {

namespace {

std::string Utf8Of(std::u16string_view text) {
  std::string out;
  if (!WideToNarrow(text, 65001, out)) out.clear();
  return out;
}

}  // namespace

AutomationError::AutomationError(uint32_t hresult, std::u16string description, std::u16string source,
                                 std::u16string helpFile, uint32_t helpContext)
    : std::runtime_error(Utf8Of(description)),
      hresult_(hresult),
      description_(std::move(description)),
      source_(std::move(source)),
      helpFile_(std::move(helpFile)),
      helpContext_(helpContext) {}

RSS::RSS() : impl_(std::make_shared<Impl>()) { impl_->net.SetLifetime(impl_); }

// When a handler destroys the control during one of its calls or events, the
// frames under way hold the engine until they return.
RSS::~RSS() { impl_->Shutdown(); }

RSS::Impl& ImplOf(RSS& rss) noexcept { return *rss.impl_; }

void RSS::SetDesignMode(bool designMode) { impl_->designMode = designMode; }

// Channel, image and text input.
std::u16string RSS::ChannelTitle() const { return impl_->GetText(kDispChannelTitle); }
void RSS::SetChannelTitle(std::u16string_view v) { impl_->SetText(kDispChannelTitle, v); }
std::u16string RSS::ChannelLink() const { return impl_->GetText(kDispChannelLink); }
void RSS::SetChannelLink(std::u16string_view v) { impl_->SetText(kDispChannelLink, v); }
std::u16string RSS::ChannelDescription() const { return impl_->GetText(kDispChannelDescription); }
void RSS::SetChannelDescription(std::u16string_view v) { impl_->SetText(kDispChannelDescription, v); }
std::u16string RSS::ChannelLanguage() const { return impl_->GetText(kDispChannelLanguage); }
void RSS::SetChannelLanguage(std::u16string_view v) { impl_->SetText(kDispChannelLanguage, v); }
std::u16string RSS::ChannelCopyright() const { return impl_->GetText(kDispChannelCopyright); }
void RSS::SetChannelCopyright(std::u16string_view v) { impl_->SetText(kDispChannelCopyright, v); }
std::u16string RSS::ChannelManagingEditor() const { return impl_->GetText(kDispChannelManagingEditor); }
void RSS::SetChannelManagingEditor(std::u16string_view v) { impl_->SetText(kDispChannelManagingEditor, v); }
std::u16string RSS::ChannelWebMaster() const { return impl_->GetText(kDispChannelWebMaster); }
void RSS::SetChannelWebMaster(std::u16string_view v) { impl_->SetText(kDispChannelWebMaster, v); }
std::u16string RSS::ChannelPubDate() const { return impl_->GetText(kDispChannelPubDate); }
void RSS::SetChannelPubDate(std::u16string_view v) { impl_->SetText(kDispChannelPubDate, v); }
std::u16string RSS::ChannelLastBuildDate() const { return impl_->GetText(kDispChannelLastBuildDate); }
void RSS::SetChannelLastBuildDate(std::u16string_view v) { impl_->SetText(kDispChannelLastBuildDate, v); }
std::u16string RSS::ChannelDocs() const { return impl_->GetText(kDispChannelDocs); }
void RSS::SetChannelDocs(std::u16string_view v) { impl_->SetText(kDispChannelDocs, v); }
std::u16string RSS::ChannelCategory() const { return impl_->GetText(kDispChannelCategory); }
void RSS::SetChannelCategory(std::u16string_view v) { impl_->SetText(kDispChannelCategory, v); }
std::u16string RSS::ChannelCategoryDomain() const { return impl_->GetText(kDispChannelCategoryDomain); }
void RSS::SetChannelCategoryDomain(std::u16string_view v) { impl_->SetText(kDispChannelCategoryDomain, v); }
std::u16string RSS::ImageURL() const { return impl_->GetText(kDispImageURL); }
void RSS::SetImageURL(std::u16string_view v) { impl_->SetText(kDispImageURL, v); }
std::u16string RSS::ImageTitle() const { return impl_->GetText(kDispImageTitle); }
void RSS::SetImageTitle(std::u16string_view v) { impl_->SetText(kDispImageTitle, v); }
std::u16string RSS::ImageLink() const { return impl_->GetText(kDispImageLink); }
void RSS::SetImageLink(std::u16string_view v) { impl_->SetText(kDispImageLink, v); }
std::u16string RSS::TextInputTitle() const { return impl_->GetText(kDispTextInputTitle); }
void RSS::SetTextInputTitle(std::u16string_view v) { impl_->SetText(kDispTextInputTitle, v); }
std::u16string RSS::TextInputDescription() const { return impl_->GetText(kDispTextInputDescription); }
void RSS::SetTextInputDescription(std::u16string_view v) { impl_->SetText(kDispTextInputDescription, v); }
std::u16string RSS::TextInputName() const { return impl_->GetText(kDispTextInputName); }
void RSS::SetTextInputName(std::u16string_view v) { impl_->SetText(kDispTextInputName, v); }
std::u16string RSS::TextInputLink() const { return impl_->GetText(kDispTextInputLink); }
void RSS::SetTextInputLink(std::u16string_view v) { impl_->SetText(kDispTextInputLink, v); }

// Items.
int16_t RSS::ItemCount() const {
  impl_->Start(kDispItemCount, Access::kRead);
  size_t count = impl_->engine.Feed().ItemCount();
  // A feed read from a file may hold more items than the 16-bit count can say.
  if (count > kMaxHostItems) impl_->RaiseInterface(kHrOverflow, u"Overflow.", kDispItemCount, Access::kRead);
  return static_cast<int16_t>(count);
}
void RSS::SetItemCount(int16_t count) {
  impl_->Start(kDispItemCount, Access::kWrite);
  impl_->Check(impl_->engine.Feed().SetItemCount(count), kDispItemCount, Access::kWrite);
}
std::u16string RSS::ItemTitle(int16_t i) const { return impl_->GetItemText(kDispItemTitle, i); }
void RSS::SetItemTitle(int16_t i, std::u16string_view v) { impl_->SetItemText(kDispItemTitle, i, v); }
std::u16string RSS::ItemDescription(int16_t i) const { return impl_->GetItemText(kDispItemDescription, i); }
void RSS::SetItemDescription(int16_t i, std::u16string_view v) { impl_->SetItemText(kDispItemDescription, i, v); }
std::u16string RSS::ItemLink(int16_t i) const { return impl_->GetItemText(kDispItemLink, i); }
void RSS::SetItemLink(int16_t i, std::u16string_view v) { impl_->SetItemText(kDispItemLink, i, v); }
std::u16string RSS::ItemAuthor(int16_t i) const { return impl_->GetItemText(kDispItemAuthor, i); }
void RSS::SetItemAuthor(int16_t i, std::u16string_view v) { impl_->SetItemText(kDispItemAuthor, i, v); }
std::u16string RSS::ItemComments(int16_t i) const { return impl_->GetItemText(kDispItemComments, i); }
void RSS::SetItemComments(int16_t i, std::u16string_view v) { impl_->SetItemText(kDispItemComments, i, v); }
std::u16string RSS::ItemPubDate(int16_t i) const { return impl_->GetItemText(kDispItemPubDate, i); }
void RSS::SetItemPubDate(int16_t i, std::u16string_view v) { impl_->SetItemText(kDispItemPubDate, i, v); }
std::u16string RSS::ItemSource(int16_t i) const { return impl_->GetItemText(kDispItemSource, i); }
void RSS::SetItemSource(int16_t i, std::u16string_view v) { impl_->SetItemText(kDispItemSource, i, v); }
std::u16string RSS::ItemSourceURL(int16_t i) const { return impl_->GetItemText(kDispItemSourceURL, i); }
void RSS::SetItemSourceURL(int16_t i, std::u16string_view v) { impl_->SetItemText(kDispItemSourceURL, i, v); }
std::u16string RSS::ItemCategory(int16_t i) const { return impl_->GetItemText(kDispItemCategory, i); }
void RSS::SetItemCategory(int16_t i, std::u16string_view v) { impl_->SetItemText(kDispItemCategory, i, v); }
std::u16string RSS::ItemCategoryDomain(int16_t i) const { return impl_->GetItemText(kDispItemCategoryDomain, i); }
void RSS::SetItemCategoryDomain(int16_t i, std::u16string_view v) { impl_->SetItemText(kDispItemCategoryDomain, i, v); }
std::u16string RSS::ItemGuid(int16_t i) const { return impl_->GetItemText(kDispItemGuid, i); }
void RSS::SetItemGuid(int16_t i, std::u16string_view v) { impl_->SetItemText(kDispItemGuid, i, v); }

// Namespaces.
int16_t RSS::NamespaceCount() const {
  impl_->Start(kDispNamespaceCount, Access::kRead);
  size_t count = impl_->engine.Feed().NamespaceCount();
  if (count > 32767) impl_->RaiseInterface(kHrOverflow, u"Overflow.", kDispNamespaceCount, Access::kRead);
  return static_cast<int16_t>(count);
}
void RSS::SetNamespaceCount(int16_t count) {
  impl_->Start(kDispNamespaceCount, Access::kWrite);
  impl_->Check(impl_->engine.Feed().SetNamespaceCount(count), kDispNamespaceCount, Access::kWrite);
}
std::u16string RSS::NamespacePrefixes(int16_t index) const {
  impl_->Start(kDispNamespacePrefixes, Access::kRead);
  FeedState& feed = impl_->engine.Feed();
  impl_->CheckReadIndex(kDispNamespacePrefixes, index, feed.NamespaceCount());
  std::string_view value;
  impl_->Check(feed.NamespacePrefix(index, value), kDispNamespacePrefixes, Access::kRead);
  return impl_->Wide(value, kDispNamespacePrefixes, Access::kRead);
}
void RSS::SetNamespacePrefixes(int16_t index, std::u16string_view value) {
  impl_->Start(kDispNamespacePrefixes, Access::kWrite);
  std::string narrow = impl_->Narrow(value, kDispNamespacePrefixes, Access::kWrite);
  impl_->Check(impl_->engine.Feed().SetNamespacePrefix(index, narrow), kDispNamespacePrefixes, Access::kWrite);
}
std::u16string RSS::Namespaces(int16_t index) const {
  impl_->Start(kDispNamespaces, Access::kRead);
  FeedState& feed = impl_->engine.Feed();
  impl_->CheckReadIndex(kDispNamespaces, index, feed.NamespaceCount());
  std::string_view value;
  impl_->Check(feed.NamespaceUri(index, value), kDispNamespaces, Access::kRead);
  return impl_->Wide(value, kDispNamespaces, Access::kRead);
}
void RSS::SetNamespaces(int16_t index, std::u16string_view value) {
  impl_->Start(kDispNamespaces, Access::kWrite);
  std::string narrow = impl_->Narrow(value, kDispNamespaces, Access::kWrite);
  impl_->Check(impl_->engine.Feed().SetNamespaceUri(index, narrow), kDispNamespaces, Access::kWrite);
}

TRSSVersion RSS::RSSVersion() const {
  impl_->Start(kDispRSSVersion, Access::kRead);
  return static_cast<TRSSVersion>(impl_->engine.Feed().Version());
}
void RSS::SetRSSVersion(int value) {
  impl_->Start(kDispRSSVersion, Access::kWrite);
  impl_->CheckRange(value, rssVersionUndefined, rssVersion200, kDispRSSVersion);
  impl_->Check(impl_->engine.Feed().SetVersion(value), kDispRSSVersion, Access::kWrite);
}

std::u16string RSS::RSSData() {
  impl_->Start(kDispRSSData, Access::kRead);
  std::string_view text;
  impl_->Check(impl_->engine.DocumentText(text), kDispRSSData, Access::kRead);
  return impl_->Wide(text, kDispRSSData, Access::kRead);
}

// The connection.
bool RSS::Connected() const {
  impl_->Start(kDispConnected, Access::kRead);
  return impl_->net.Connected();
}

void RSS::SetConnected(bool value) {
  // Events fire from here; a handler may destroy this control.
  std::shared_ptr<Impl> impl = impl_;
  impl->Start(kDispConnected, Access::kWrite);
  Impl::FiringCall call = impl->StartFiring(kDispConnected, Access::kWrite);
  impl->CheckNet(value ? impl->net.Connect() : impl->net.Disconnect(0), kDispConnected, Access::kWrite);
  call.Finish();
}

int16_t RSS::Timeout() const {
  impl_->Start(kDispTimeout, Access::kRead);
  return static_cast<int16_t>(impl_->net.TimeoutSeconds());
}

void RSS::SetTimeout(int16_t seconds) {
  impl_->Start(kDispTimeout, Access::kWrite);
  impl_->net.SetTimeoutSeconds(seconds);
}

// The firewall.
TFirewallType RSS::FirewallType() const {
  impl_->Start(kDispFirewallType, Access::kRead);
  return impl_->net.Firewall().Type();
}

void RSS::SetFirewallType(int value) {
  impl_->Start(kDispFirewallType, Access::kWrite);
  impl_->CheckRange(value, fwNone, fwSOCKS5, kDispFirewallType);
  impl_->net.Firewall().SetType(static_cast<TFirewallType>(value));
}

std::u16string RSS::FirewallHost() const {
  impl_->Start(kDispFirewallHost, Access::kRead);
  return impl_->Wide(impl_->net.Firewall().HostText(), kDispFirewallHost, Access::kRead);
}

void RSS::SetFirewallHost(std::u16string_view value) {
  impl_->Start(kDispFirewallHost, Access::kWrite);
  std::string host = impl_->Narrow(value, kDispFirewallHost, Access::kWrite);
  impl_->CheckNet(impl_->net.Firewall().SetHost(host), kDispFirewallHost, Access::kWrite);
}

int32_t RSS::FirewallPort() const {
  impl_->Start(kDispFirewallPort, Access::kRead);
  return impl_->net.Firewall().Port();
}

void RSS::SetFirewallPort(int32_t value) {
  impl_->Start(kDispFirewallPort, Access::kWrite);
  impl_->CheckNet(impl_->net.Firewall().SetPort(value), kDispFirewallPort, Access::kWrite);
}

std::u16string RSS::FirewallUser() const {
  impl_->Start(kDispFirewallUser, Access::kRead);
  return impl_->Wide(impl_->net.Firewall().User(), kDispFirewallUser, Access::kRead);
}

void RSS::SetFirewallUser(std::u16string_view value) {
  impl_->Start(kDispFirewallUser, Access::kWrite);
  std::string user = impl_->NarrowWithin(value, FirewallTunnel::kMaxCredentialLength, kDispFirewallUser);
  impl_->CheckNet(impl_->net.Firewall().SetUser(user), kDispFirewallUser, Access::kWrite);
}

std::u16string RSS::FirewallPassword() const {
  impl_->Start(kDispFirewallPassword, Access::kRead);
  return impl_->Wide(impl_->net.Firewall().Password(), kDispFirewallPassword, Access::kRead);
}

void RSS::SetFirewallPassword(std::u16string_view value) {
  impl_->Start(kDispFirewallPassword, Access::kWrite);
  std::string password = impl_->NarrowWithin(value, FirewallTunnel::kMaxCredentialLength, kDispFirewallPassword);
  impl_->CheckNet(impl_->net.Firewall().SetPassword(password), kDispFirewallPassword, Access::kWrite);
}

// HTTP.
std::u16string RSS::Accept() const {
  impl_->Start(kDispAccept, Access::kRead);
  return impl_->Wide(impl_->net.Accept(), kDispAccept, Access::kRead);
}

void RSS::SetAccept(std::u16string_view value) {
  impl_->Start(kDispAccept, Access::kWrite);
  impl_->CheckNet(impl_->net.SetAccept(impl_->Narrow(value, kDispAccept, Access::kWrite)), kDispAccept,
                  Access::kWrite);
}

TAuthScheme RSS::AuthScheme() const {
  impl_->Start(kDispAuthScheme, Access::kRead);
  return impl_->net.AuthScheme();
}

void RSS::SetAuthScheme(int value) {
  impl_->Start(kDispAuthScheme, Access::kWrite);
  impl_->CheckRange(value, authBasic, authDigest, kDispAuthScheme);
  impl_->net.SetAuthScheme(static_cast<TAuthScheme>(value));
}

TFollowRedirects RSS::FollowRedirects() const {
  impl_->Start(kDispFollowRedirects, Access::kRead);
  return impl_->net.FollowRedirects();
}

void RSS::SetFollowRedirects(int value) {
  impl_->Start(kDispFollowRedirects, Access::kWrite);
  impl_->CheckRange(value, frNever, frSameScheme, kDispFollowRedirects);
  impl_->net.SetFollowRedirects(static_cast<TFollowRedirects>(value));
}

std::u16string RSS::User() const {
  impl_->Start(kDispUser, Access::kRead);
  return impl_->Wide(impl_->net.User(), kDispUser, Access::kRead);
}

void RSS::SetUser(std::u16string_view value) {
  impl_->Start(kDispUser, Access::kWrite);
  impl_->CheckNet(impl_->net.SetUser(impl_->Narrow(value, kDispUser, Access::kWrite)), kDispUser, Access::kWrite);
}

std::u16string RSS::Password() const {
  impl_->Start(kDispPassword, Access::kRead);
  return impl_->Wide(impl_->net.Password(), kDispPassword, Access::kRead);
}

void RSS::SetPassword(std::u16string_view value) {
  impl_->Start(kDispPassword, Access::kWrite);
  impl_->CheckNet(impl_->net.SetPassword(impl_->Narrow(value, kDispPassword, Access::kWrite)), kDispPassword,
                  Access::kWrite);
}

bool RSS::Idle() const {
  impl_->Start(kDispIdle, Access::kRead);
  return impl_->net.Idle();
}

Variant RSS::TransferTextB() const {
  impl_->Start(kDispTransferTextB, Access::kRead);
  std::string_view piece = impl_->net.TransferPiece();
  // A Transfer event never carries an empty piece.
  if (piece.empty()) return {};
  return Variant(std::vector<uint8_t>(piece.begin(), piece.end()));
}

uint32_t RSS::Advise(_IRSSEvents* sink) { return impl_->events.Advise(sink); }
uint32_t RSS::Advise(EventDispatch* sink) { return impl_->events.Advise(sink); }
bool RSS::Unadvise(uint32_t cookie) { return impl_->events.Unadvise(cookie); }

// Methods.
std::u16string RSS::Config(std::u16string_view configurationString) {
  impl_->Start(kDispConfig, Access::kCall);
  std::string narrow = impl_->Narrow(configurationString, kDispConfig, Access::kCall);
  std::string answer;
  impl_->Check(impl_->engine.Config(narrow, answer), kDispConfig, Access::kCall);
  return impl_->Wide(answer, kDispConfig, Access::kCall);
}

void RSS::AddItem(std::u16string_view title, std::u16string_view description, std::u16string_view link) {
  impl_->Start(kDispAddItem, Access::kCall);
  std::string t = impl_->Narrow(title, kDispAddItem, Access::kCall);
  std::string d = impl_->Narrow(description, kDispAddItem, Access::kCall);
  std::string l = impl_->Narrow(link, kDispAddItem, Access::kCall);
  impl_->Check(impl_->engine.AddItem(t, d, l), kDispAddItem, Access::kCall);
}

void RSS::AddNamespace(std::u16string_view prefix, std::u16string_view namespaceUri) {
  impl_->Start(kDispAddNamespace, Access::kCall);
  std::string p = impl_->Narrow(prefix, kDispAddNamespace, Access::kCall);
  std::string u = impl_->Narrow(namespaceUri, kDispAddNamespace, Access::kCall);
  // A declaration without a prefix is the default namespace, as reading
  // merges it; a numbered one would be written as " xmlns:=", which no XML
  // reader accepts, so the file could not be read back.
  FeedState& feed = impl_->engine.Feed();
  impl_->Check(p.empty() ? feed.SetDefaultNamespace(u) : feed.AddNamespace(p, u), kDispAddNamespace, Access::kCall);
}

std::u16string RSS::GetProperty(std::u16string_view propertyName) {
  impl_->Start(kDispGetProperty, Access::kCall);
  std::string path = impl_->Narrow(propertyName, kDispGetProperty, Access::kCall);
  std::string_view value;
  impl_->Check(impl_->engine.GetProperty(path, value), kDispGetProperty, Access::kCall);
  return impl_->Wide(value, kDispGetProperty, Access::kCall);
}

// Events fire from the network methods; a handler may destroy this control.
void RSS::GetURL(std::u16string_view url) {
  std::shared_ptr<Impl> impl = impl_;
  impl->RunNetworkMethod(kDispGetURL, url);
}

void RSS::GetFeed(std::u16string_view url) {
  std::shared_ptr<Impl> impl = impl_;
  impl->RunNetworkMethod(kDispGetFeed, url);
}

void RSS::Put(std::u16string_view url) {
  std::shared_ptr<Impl> impl = impl_;
  impl->RunNetworkMethod(kDispPut, url);
}

void RSS::SetProperty(std::u16string_view propertyName, std::u16string_view propertyValue) {
  impl_->Start(kDispSetProperty, Access::kCall);
  std::string path = impl_->Narrow(propertyName, kDispSetProperty, Access::kCall);
  std::string value = impl_->Narrow(propertyValue, kDispSetProperty, Access::kCall);
  impl_->Check(impl_->engine.SetProperty(path, value), kDispSetProperty, Access::kCall);
}

void RSS::ReadFile(std::u16string_view fileName) {
  impl_->Start(kDispReadFile, Access::kCall);
  std::string name = impl_->Narrow(fileName, kDispReadFile, Access::kCall);
  impl_->Check(impl_->engine.ReadFile(name), kDispReadFile, Access::kCall);
}

void RSS::WriteFile(std::u16string_view fileName) {
  impl_->Start(kDispWriteFile, Access::kCall);
  std::string name = impl_->Narrow(fileName, kDispWriteFile, Access::kCall);
  impl_->Check(impl_->engine.WriteFile(name), kDispWriteFile, Access::kCall);
}

void RSS::Reset() {
  impl_->Start(kDispReset, Access::kCall);
  impl_->engine.Reset();
}

}  // namespace rssvane
