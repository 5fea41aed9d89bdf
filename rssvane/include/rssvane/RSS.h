#pragma once

// The RSS control as a host sees it: one channel with its image, text input,
// items and namespaces, read from and written to RSS text and files, reached
// by property paths and configured by name. Text crosses this boundary as
// UTF-16 and is converted with the control's CodePage. Every failure throws
// rssvane::AutomationError.
//
// This header is the contract between the control and its hosts (the
// application, the command-line tool). Network work runs on the thread that
// created the control and reaches the host as events (rssvane/Events.h)
// while the control waits or the host pumps (rssvane/MessageLoop.h).

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <rssvane/Events.h>
#include <rssvane/PropertyBag.h>
#include <rssvane/RSSTypes.h>
#include <rssvane/Variant.h>

namespace rssvane {

class AutomationError : public std::runtime_error {
 public:
  AutomationError(uint32_t hresult, std::u16string description, std::u16string source, std::u16string helpFile,
                  uint32_t helpContext);
  uint32_t HResult() const noexcept { return hresult_; }
  // What a host sees as the error number: the low 16 bits of the HRESULT.
  int Number() const noexcept { return static_cast<int>(hresult_ & 0xFFFFu); }
  const std::u16string& Description() const noexcept { return description_; }
  const std::u16string& Source() const noexcept { return source_; }
  const std::u16string& HelpFile() const noexcept { return helpFile_; }
  uint32_t HelpContext() const noexcept { return helpContext_; }

 private:
  uint32_t hresult_;
  std::u16string description_;
  std::u16string source_;
  std::u16string helpFile_;
  uint32_t helpContext_;
};

class RSS {
 public:
  RSS();
  ~RSS();
  RSS(const RSS&) = delete;
  RSS& operator=(const RSS&) = delete;

  // Channel, image and text input.
  std::u16string ChannelTitle() const;
  void SetChannelTitle(std::u16string_view value);
  std::u16string ChannelLink() const;
  void SetChannelLink(std::u16string_view value);
  std::u16string ChannelDescription() const;
  void SetChannelDescription(std::u16string_view value);
  std::u16string ChannelLanguage() const;
  void SetChannelLanguage(std::u16string_view value);
  std::u16string ChannelCopyright() const;
  void SetChannelCopyright(std::u16string_view value);
  std::u16string ChannelManagingEditor() const;
  void SetChannelManagingEditor(std::u16string_view value);
  std::u16string ChannelWebMaster() const;
  void SetChannelWebMaster(std::u16string_view value);
  std::u16string ChannelPubDate() const;
  void SetChannelPubDate(std::u16string_view value);
  std::u16string ChannelLastBuildDate() const;
  void SetChannelLastBuildDate(std::u16string_view value);
  std::u16string ChannelDocs() const;
  void SetChannelDocs(std::u16string_view value);
  std::u16string ChannelCategory() const;
  void SetChannelCategory(std::u16string_view value);
  std::u16string ChannelCategoryDomain() const;
  void SetChannelCategoryDomain(std::u16string_view value);
  std::u16string ImageURL() const;
  void SetImageURL(std::u16string_view value);
  std::u16string ImageTitle() const;
  void SetImageTitle(std::u16string_view value);
  std::u16string ImageLink() const;
  void SetImageLink(std::u16string_view value);
  std::u16string TextInputTitle() const;
  void SetTextInputTitle(std::u16string_view value);
  std::u16string TextInputDescription() const;
  void SetTextInputDescription(std::u16string_view value);
  std::u16string TextInputName() const;
  void SetTextInputName(std::u16string_view value);
  std::u16string TextInputLink() const;
  void SetTextInputLink(std::u16string_view value);

  // Items, by ItemIndex from 1 to ItemCount.
  int16_t ItemCount() const;
  void SetItemCount(int16_t count);
  std::u16string ItemTitle(int16_t index) const;
  void SetItemTitle(int16_t index, std::u16string_view value);
  std::u16string ItemDescription(int16_t index) const;
  void SetItemDescription(int16_t index, std::u16string_view value);
  std::u16string ItemLink(int16_t index) const;
  void SetItemLink(int16_t index, std::u16string_view value);
  std::u16string ItemAuthor(int16_t index) const;
  void SetItemAuthor(int16_t index, std::u16string_view value);
  std::u16string ItemComments(int16_t index) const;
  void SetItemComments(int16_t index, std::u16string_view value);
  std::u16string ItemPubDate(int16_t index) const;
  void SetItemPubDate(int16_t index, std::u16string_view value);
  std::u16string ItemSource(int16_t index) const;
  void SetItemSource(int16_t index, std::u16string_view value);
  std::u16string ItemSourceURL(int16_t index) const;
  void SetItemSourceURL(int16_t index, std::u16string_view value);
  std::u16string ItemCategory(int16_t index) const;
  void SetItemCategory(int16_t index, std::u16string_view value);
  std::u16string ItemCategoryDomain(int16_t index) const;
  void SetItemCategoryDomain(int16_t index, std::u16string_view value);
  std::u16string ItemGuid(int16_t index) const;
  void SetItemGuid(int16_t index, std::u16string_view value);

  // Namespaces, by NamespaceIndex from 1 to NamespaceCount.
  int16_t NamespaceCount() const;
  void SetNamespaceCount(int16_t count);
  std::u16string NamespacePrefixes(int16_t index) const;
  void SetNamespacePrefixes(int16_t index, std::u16string_view value);
  std::u16string Namespaces(int16_t index) const;
  void SetNamespaces(int16_t index, std::u16string_view value);

  TRSSVersion RSSVersion() const;
  void SetRSSVersion(int value);
  // The feed's document text, produced on demand and cached.
  std::u16string RSSData();

  // The connection: setting true starts connecting (the outcome arrives as
  // the Connected event), false closes it. Timeout in seconds bounds every
  // wait of the network members (0: none).
  bool Connected() const;
  void SetConnected(bool value);
  int16_t Timeout() const;
  void SetTimeout(int16_t seconds);

  // The firewall the connection goes through, from the next connect on.
  // FirewallType set also sets FirewallPort: 1080 for SOCKS, 80 otherwise.
  // FirewallHost is looked up when set and reads back as its dotted address
  // (empty when there is none). FirewallUser and FirewallPassword keep at
  // most the 255 bytes a SOCKS field can carry, cut between characters.
  TFirewallType FirewallType() const;
  void SetFirewallType(int value);
  std::u16string FirewallHost() const;
  void SetFirewallHost(std::u16string_view value);
  int32_t FirewallPort() const;
  void SetFirewallPort(int32_t value);
  std::u16string FirewallUser() const;
  void SetFirewallUser(std::u16string_view value);
  std::u16string FirewallPassword() const;
  void SetFirewallPassword(std::u16string_view value);

  // HTTP: the request's Accept header, the server's credentials (User and
  // Password, also taken from a URL's user information) and how they are
  // sent, and which redirects are followed. Idle is true when no network
  // method is running.
  std::u16string Accept() const;
  void SetAccept(std::u16string_view value);
  TAuthScheme AuthScheme() const;
  void SetAuthScheme(int value);
  TFollowRedirects FollowRedirects() const;
  void SetFollowRedirects(int value);
  std::u16string User() const;
  void SetUser(std::u16string_view value);
  std::u16string Password() const;
  void SetPassword(std::u16string_view value);
  bool Idle() const;
  // Hidden: during a Transfer event, the bytes of that event's piece of body
  // as they came (the event's Text is them converted with CodePage); Empty
  // at any other time.
  Variant TransferTextB() const;

  // Event sinks, called in the order they were connected. Advise gives the
  // cookie that Unadvise takes (0, connecting nothing, for a null sink); a
  // sink stays the host's and must stay alive while connected. A sink may
  // destroy the control from inside an event: the call under way ends with
  // 301 "Interrupted.".
  uint32_t Advise(_IRSSEvents* sink);
  uint32_t Advise(EventDispatch* sink);
  bool Unadvise(uint32_t cookie);

  // Methods.
  std::u16string Config(std::u16string_view configurationString);
  void AddItem(std::u16string_view title, std::u16string_view description, std::u16string_view link);
  void AddNamespace(std::u16string_view prefix, std::u16string_view namespaceUri);
  std::u16string GetProperty(std::u16string_view propertyName);
  // The network methods. Each blocks while serving the thread's queue,
  // firing the connection and transfer events, and changes nothing but the
  // URL when it fails. With a negative Timeout a call only starts the
  // connection and returns; the exchange runs while the host serves the
  // queue, its outcome reaches the document when it ends, and a failure
  // arrives as the Error event.
  //
  // GetURL fetches the document at URL with an HTTP GET; RSSData becomes
  // the response body as it came.
  void GetURL(std::u16string_view url);
  // GetFeed fetches the document and reads it into the feed, as reading a
  // file does.
  void GetFeed(std::u16string_view url);
  // Put uploads the cached document text with an HTTP PUT as it stands:
  // the text last read, fetched or produced (reading RSSData first brings
  // it up to date with the model). RSSData becomes the response body.
  void Put(std::u16string_view url);
  void SetProperty(std::u16string_view propertyName, std::u16string_view propertyValue);
  void ReadFile(std::u16string_view fileName);
  void WriteFile(std::u16string_view fileName);
  void Reset();

  // Late-bound access, as an automation host reaches the control: members by
  // their DISPID or by name (ignoring case). An indexed property takes its
  // index as the first argument, a property write the value as the last.
  enum class DispatchKind { kMethod, kPropertyGet, kPropertyPut };
  static constexpr int32_t kDispIdUnknown = -1;
  static int32_t DispIdOfName(std::u16string_view name) noexcept;
  Variant Invoke(int32_t dispId, DispatchKind kind, const std::vector<Variant>& args);
  Variant Invoke(std::u16string_view name, DispatchKind kind, const std::vector<Variant>& args);

  // A host's designer sets this while the control sits on a form being
  // edited; the properties that need run time then refuse to be read.
  void SetDesignMode(bool designMode);

  // Persistence of the properties a host keeps with its document
  // (docs/rssvane-control.md): by name in a property bag, or as the bytes
  // of a "Contents" stream. Loading gives each saved property the value
  // loaded, or its construction default when there is none, and leaves the
  // items, namespaces, document text and connection as they are. A value a
  // property refuses, or a stream cut short, too long or of another layout,
  // fails the whole load and changes nothing.
  void Save(PropertyBag& bag);
  void Load(PropertyBag& bag);
  std::string SaveContents();
  void LoadContents(std::string_view contents);

 private:
  struct Impl;
  // The engine behind a control, for code built with the library itself.
  friend Impl& ImplOf(RSS& rss) noexcept;
  // Shared so that a call under way, or an event being delivered, keeps it
  // alive when a handler destroys the control.
  std::shared_ptr<Impl> impl_;
};

}  // namespace rssvane
