#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "base/CodePage.h"
#include "base/Codes.h"
#include "control/EventConnections.h"
#include "control/LiveObjects.h"
#include "control/Members.h"
#include "feed/FeedEngine.h"
#include "http/HttpClient.h"
#include "rssvane/RSS.h"

namespace rssvane {

// What the control's failures name as their source: its ProgID.
inline constexpr std::u16string_view kProgId = u"Kestrix.RSS.1";
inline constexpr std::u16string_view kHelpFile = u"kestrix.chm";

// The engine behind the published members, and the rules that turn text and
// failures into what crosses the boundary. The feed engine and the network
// chain are separate objects that meet in the configuration chain: the
// network layers take their levels in it, so a setting reaches them from
// the top down, and the feed's model stays free of sockets.
struct RSS::Impl {
  Impl() {
    ConfigChain& chain = engine.Chain();
    chain.Attach(ConfigLevel::kHttp, &net.HttpSettings());
    chain.Attach(ConfigLevel::kTcp, &net.TcpSettings());
    chain.Attach(ConfigLevel::kSocketLibrary, &net.SocketLibrarySettings());
    net.SetTimeoutSeconds(60);
    net.SetMaxTransferredData(0);
    net.SetKeepAlive(true);
    net.SetEvents(&events);
    net.SetAsyncActionEnded([this](HttpAction, int code) { AsyncMethodEnded(code); });
  }

  // The host let go of the control: no sink hears from it again, every wait
  // of its network objects ends, and its socket is closed.
  void Shutdown() {
    shutDown = true;
    events.Clear();
    net.Destroy();
  }

  LiveObject live;
  FeedEngine engine;
  EventConnections events{engine.Text()};
  HttpClient net;
  bool designMode = false;
  bool shutDown = false;
  // Calls under way that fire events while they run (FiringCall).
  int firingCalls = 0;
  // The network method whose exchange a negative Timeout left running.
  int32_t asyncMethod = 0;

  // Property reads carry no help reference; writes and methods point at
  // their topic in the help file (the hidden TransferTextB at one of its own).
  [[noreturn]] void Raise(uint32_t hresult, std::u16string description, int32_t dispId, Access access) const {
    std::u16string helpFile;
    uint32_t context = 0;
    if (access == Access::kWrite) {
      helpFile = kHelpFile;
      context = dispId == kDispTransferTextB ? 35911 : 25900 + static_cast<uint32_t>(dispId);
    } else if (access == Access::kCall) {
      helpFile = kHelpFile;
      context = 45900 + static_cast<uint32_t>(dispId - 500);
    }
    throw AutomationError(hresult, std::move(description), std::u16string(kProgId), std::move(helpFile), context);
  }

  [[noreturn]] void RaiseInterface(uint32_t hresult, std::u16string_view description, int32_t dispId,
                                   Access access) const {
    Raise(hresult, std::u16string(description), dispId, access);
  }

  // An engine code becomes the host's error; its text is narrow, in the
  // code page, like every other text of the engine.
  [[noreturn]] void RaiseEngine(int code, int32_t dispId, Access access) const {
    RaiseCode(code, engine.LastErrorText(), dispId, access);
  }

  [[noreturn]] void RaiseCode(int code, std::string_view lastErrorText, int32_t dispId, Access access) const {
    AutomationFailure failure = FailureForCode(code, lastErrorText);
    std::u16string description;
    if (!NarrowToWide(failure.description, engine.Text().CodePage(), description)) {
      NarrowToWide(failure.description, 65001, description);
    }
    if (description.empty()) description = u"No description available.";
    Raise(failure.hresult, std::move(description), dispId, access);
  }

  // An enumerated property refuses a value outside its enumeration.
  void CheckRange(int value, int low, int high, int32_t dispId) const {
    if (value < low || value > high) {
      RaiseInterface(kHrValueOutOfRange, u"Value is out of range.", dispId, Access::kWrite);
    }
  }

  void Check(int code, int32_t dispId, Access access) const {
    if (code != 0) RaiseEngine(code, dispId, access);
  }

  void CheckNet(int code, int32_t dispId, Access access) const {
    if (code != 0) RaiseCode(code, net.LastErrorText(), dispId, access);
  }

  std::string Narrow(std::u16string_view text, int32_t dispId, Access access) const {
    std::string out;
    if (!WideToNarrow(text, engine.Text().CodePage(), out)) RaiseInterface(kHrOutOfMemory, u"Out of memory.", dispId, access);
    return out;
  }

  // A written text of at most limit bytes in the code page, cut after a
  // whole character so that it still reads back. No character takes less
  // than one byte, so the first limit units are all that can be kept.
  std::string NarrowWithin(std::u16string_view text, size_t limit, int32_t dispId) const {
    auto dropLast = [&text] {
      const char16_t high = text.size() >= 2 ? text[text.size() - 2] : 0;
      const bool pair = high >= 0xD800 && high < 0xDC00 && text.back() >= 0xDC00 && text.back() < 0xE000;
      text.remove_suffix(pair ? 2 : 1);
    };
    if (text.size() > limit) {
      text = text.substr(0, limit + 1);
      dropLast();
    }
    std::string out = Narrow(text, dispId, Access::kWrite);
    while (out.size() > limit) {
      dropLast();
      out = Narrow(text, dispId, Access::kWrite);
    }
    return out;
  }

  std::u16string Wide(std::string_view text, int32_t dispId, Access access) const {
    std::u16string out;
    if (text.empty()) return out;
    if (!NarrowToWide(text, engine.Text().CodePage(), out)) RaiseInterface(kHrOutOfMemory, u"Out of memory.", dispId, access);
    return out;
  }

  [[noreturn]] void RaiseUndelivered(const EventInfo& event, int32_t dispId, Access access) const {
    Raise(kHrOutOfMemory, u"Out of memory while firing " + std::u16string(event.name) + u".", dispId, access);
  }

  // An event that could not be delivered while no call of the control was
  // under way (the host was serving the queue) fails the next call, before
  // it does anything. Calls made from inside an event leave it to the call
  // that fired the event.
  void Begin(const MemberInfo& member, Access access) {
    if (firingCalls == 0) {
      if (const EventInfo* undelivered = events.TakeUndelivered()) RaiseUndelivered(*undelivered, member.dispId, access);
    }
    engine.ClearError();
    if (access == Access::kRead && member.runtimeOnly && designMode) {
      RaiseInterface(kHrRuntimeOnly, u"Property is runtime only (no supported in design time).", member.dispId, access);
    }
  }

  FeedContainer& ContainerOf(Section section) {
    FeedState& feed = engine.Feed();
    switch (section) {
      case Section::kImage: return feed.Image();
      case Section::kTextInput: return feed.TextInput();
      default: return feed.Channel();
    }
  }

  std::u16string GetText(int32_t dispId) {
    const MemberInfo& member = MemberByDispId(dispId);
    Begin(member, Access::kRead);
    const FeedField& field = ContainerOf(member.section).Fixed(member.field);
    return Wide(member.attribute ? field.Attribute(member.attribute) : field.Text(), dispId, Access::kRead);
  }

  void SetText(int32_t dispId, std::u16string_view value) {
    const MemberInfo& member = MemberByDispId(dispId);
    Begin(member, Access::kWrite);
    std::string narrow = Narrow(value, dispId, Access::kWrite);
    FeedField& field = ContainerOf(member.section).Fixed(member.field);
    FeedState& feed = engine.Feed();
    Check(member.attribute ? feed.SetFieldAttribute(field, member.attribute, narrow) : feed.SetFieldText(field, narrow),
          dispId, Access::kWrite);
  }

  void CheckReadIndex(int32_t dispId, long index, size_t count) const {
    if (index < 1 || static_cast<size_t>(index) > count) {
      RaiseInterface(kHrInvalidArrayIndex, u"Invalid array index.", dispId, Access::kRead);
    }
  }

  std::u16string GetItemText(int32_t dispId, int16_t index) {
    const MemberInfo& member = MemberByDispId(dispId);
    Begin(member, Access::kRead);
    FeedState& feed = engine.Feed();
    CheckReadIndex(dispId, index, feed.ItemCount());
    std::string_view value;
    Check(member.attribute ? feed.ItemAttribute(index, member.field, member.attribute, value)
                           : feed.ItemText(index, member.field, value),
          dispId, Access::kRead);
    return Wide(value, dispId, Access::kRead);
  }

  // Writes leave the index check to the engine, which names the problem.
  void SetItemText(int32_t dispId, int16_t index, std::u16string_view value) {
    const MemberInfo& member = MemberByDispId(dispId);
    Begin(member, Access::kWrite);
    std::string narrow = Narrow(value, dispId, Access::kWrite);
    FeedState& feed = engine.Feed();
    Check(member.attribute ? feed.SetItemAttribute(index, member.field, member.attribute, narrow)
                           : feed.SetItemText(index, member.field, narrow),
          dispId, Access::kWrite);
  }

  const MemberInfo& Start(int32_t dispId, Access access) {
    const MemberInfo& member = MemberByDispId(dispId);
    Begin(member, access);
    return member;
  }

  // Brackets a member that fires events while it runs. An event that it could
  // not deliver makes the member fail with "Out of memory while firing NAME."
  // once its work is done (Finish); a member that fails on its own raises its
  // own error instead. A call made inside another's event owns only what
  // fails after it started.
  class FiringCall {
   public:
    FiringCall(Impl& impl, int32_t dispId, Access access) noexcept
        : impl_(impl), dispId_(dispId), access_(access), owns_(!impl.events.HasUndelivered()) {
      ++impl_.firingCalls;
    }
    ~FiringCall() {
      if (!finished_) {
        --impl_.firingCalls;
        if (owns_) impl_.events.TakeUndelivered();
      }
    }
    FiringCall(const FiringCall&) = delete;
    FiringCall& operator=(const FiringCall&) = delete;

    void Finish() {
      finished_ = true;
      --impl_.firingCalls;
      if (!owns_) return;
      if (const EventInfo* undelivered = impl_.events.TakeUndelivered()) {
        impl_.RaiseUndelivered(*undelivered, dispId_, access_);
      }
    }

   private:
    Impl& impl_;
    int32_t dispId_;
    Access access_;
    bool owns_;
    bool finished_ = false;
  };

  FiringCall StartFiring(int32_t dispId, Access access) noexcept { return FiringCall(*this, dispId, access); }

  // GetURL, GetFeed or Put. The caller holds the control, which a handler
  // may let go of meanwhile: the call then ends with 301 and changes
  // nothing.
  void RunNetworkMethod(int32_t dispId, std::u16string_view url) {
    Start(dispId, Access::kCall);
    std::string narrow = Narrow(url, dispId, Access::kCall);
    FiringCall call = StartFiring(dispId, Access::kCall);
    const bool put = dispId == kDispPut;
    // Put sends the cached text as it stands, without producing it anew.
    std::string body = put ? std::string(engine.Feed().DocumentText()) : std::string();
    const bool async = net.TimeoutMs() < 0;
    CheckNet(net.Request(narrow, put ? HttpAction::kPut : HttpAction::kGet, std::move(body)), dispId, Access::kCall);
    if (shutDown) RaiseCode(kErrInterrupted, "Interrupted.", dispId, Access::kCall);
    if (async) {
      asyncMethod = dispId;
    } else {
      Check(TakeResponse(dispId), dispId, Access::kCall);
    }
    call.Finish();
  }

  // What a network method makes of the response body it fetched.
  int TakeResponse(int32_t dispId) noexcept {
    std::string_view body = net.TransferredData();
    if (dispId != kDispGetFeed) return engine.SetDocumentText(body);
    // What the server said of the document's encoding, and where it came
    // from, for DecodeDocument and ReadAtom.
    return engine.ReadDocument(body, CharsetParameter(net.ContentType()), net.Target().Url());
  }

  // An asynchronous exchange has ended inside the queue's notifications.
  // The network layer reported its own failures; one in taking the body
  // reaches the host the same way, as the Error event.
  void AsyncMethodEnded(int code) {
    const int32_t method = std::exchange(asyncMethod, 0);
    if (code != 0 || method == 0 || shutDown) return;
    engine.ClearError();
    if (int rc = TakeResponse(method)) {
      int16_t errorCode = static_cast<int16_t>(rc);
      std::string description(engine.LastErrorText());
      events.FireError(errorCode, description);
    }
  }
};

// The engine behind a control, for the tools and tests built with the library.
RSS::Impl& ImplOf(RSS& rss) noexcept;

}  // namespace rssvane
