// Events whose text cannot cross to the host for want of memory: not
// delivered, and reported as "Out of memory while firing NAME.".
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "ControlTestSupport.h"
#include "FailingAllocation.h"
#include "control/EventConnections.h"
#include "control/RSSImpl.h"

namespace rssvane {
namespace {

using test::FailLargeAllocations;

// Large enough that its wide copy cannot be made while large allocations fail.
const std::string kBig(4 << 20, 'x');
constexpr size_t kLarge = 1 << 20;

class CountingSink : public _IRSSEvents {
 public:
  int heard = 0;
  bool throwOnHeader = false;
  void Header(std::u16string&, std::u16string&) override {
    ++heard;
    if (throwOnHeader) throw std::bad_alloc();
  }
  void Transfer(int32_t&, std::u16string&) override { ++heard; }
  void Error(int16_t&, std::u16string&) override { ++heard; }
};

class CountingDispatch : public EventDispatch {
 public:
  int heard = 0;
  void Invoke(int32_t, std::vector<Variant>&) override { ++heard; }
};

TEST(UndeliverableEvents, AreNotDeliveredAndTheFirstOfThemIsKeptForTheControl) {
  TextSettings text;
  EventConnections events(text);
  CountingSink early;
  CountingDispatch late;
  events.Advise(&early);
  events.Advise(&late);
  std::string field = "X-Big", value = kBig;
  int32_t bytes = 10;
  int16_t code = 1;
  {
    FailLargeAllocations fail(kLarge);
    events.FireError(code, value);
    EXPECT_FALSE(events.HasUndelivered());  // Error is not reported
    events.FireTransfer(bytes, value);
    events.FireHeader(field, value);
  }
  EXPECT_EQ(early.heard + late.heard, 0);
  EXPECT_EQ(value, kBig);
  std::string small = "small";
  events.FireHeader(field, small);
  EXPECT_EQ(early.heard + late.heard, 2);
  ASSERT_TRUE(events.HasUndelivered());
  EXPECT_EQ(events.TakeUndelivered()->name, u"Transfer");
  EXPECT_EQ(events.TakeUndelivered(), nullptr);

  // A sink that runs out of memory itself ends the event, which counts as
  // not delivered.
  early.throwOnHeader = true;
  events.FireHeader(field, small);
  EXPECT_EQ(late.heard, 1);
  EXPECT_EQ(events.TakeUndelivered()->name, u"Header");
}

TEST(UndeliverableEvents, OneLostWhileTheHostServesTheQueueFailsTheNextCallOnce) {
  RSS rss;
  CountingSink sink;
  rss.Advise(&sink);
  std::string field = "X-Big", value = kBig;
  {
    FailLargeAllocations fail(kLarge);
    ImplOf(rss).events.FireHeader(field, value);
  }
  EXPECT_EQ(sink.heard, 0);
  Raised read = RaisedBy([&] { rss.ChannelTitle(); });
  EXPECT_EQ(read.hresult, 0x800A0007u);
  EXPECT_EQ(read.description, u"Out of memory while firing Header.");
  EXPECT_EQ(read.source, u"Kestrix.RSS.1");
  EXPECT_EQ(read.helpContext, 0u);
  EXPECT_EQ(rss.ChannelTitle(), u"");

  int32_t bytes = 1;
  {
    FailLargeAllocations fail(kLarge);
    ImplOf(rss).events.FireTransfer(bytes, value);
  }
  // The failing call does nothing else.
  Raised write = RaisedBy([&] { rss.SetChannelTitle(u"not set"); });
  EXPECT_EQ(write.description, u"Out of memory while firing Transfer.");
  EXPECT_EQ(write.helpFile, u"kestrix.chm");
  EXPECT_EQ(write.helpContext, 25913u);
  EXPECT_EQ(rss.ChannelTitle(), u"");
}

TEST(UndeliverableEvents, AMemberThatFiresReportsWhatItCouldNotDeliverWhenItsWorkIsDone) {
  RSS rss;
  auto& impl = ImplOf(rss);
  std::string version = "HTTP/1.1", description = kBig;
  int16_t status = 200;
  {
    auto call = impl.StartFiring(15, Access::kWrite);
    {
      FailLargeAllocations fail(kLarge);
      impl.events.FireStatus(version, status, description);
    }
    // A handler's call meanwhile is not the one that fired.
    EXPECT_EQ(rss.ChannelTitle(), u"");
    Raised raised = RaisedBy([&] { call.Finish(); });
    EXPECT_EQ(raised.description, u"Out of memory while firing Status.");
    EXPECT_EQ(raised.helpContext, 25915u);
  }
  EXPECT_EQ(rss.ChannelTitle(), u"");

  // A member that fails on its own raises only its own error.
  {
    auto call = impl.StartFiring(15, Access::kWrite);
    FailLargeAllocations fail(kLarge);
    impl.events.FireStatus(version, status, description);
  }
  EXPECT_EQ(rss.ChannelTitle(), u"");

  // A member called from an event, after the loss, leaves it to the caller
  // that fired it.
  auto outer = impl.StartFiring(15, Access::kWrite);
  {
    FailLargeAllocations fail(kLarge);
    impl.events.FireStatus(version, status, description);
  }
  {
    auto inner = impl.StartFiring(501, Access::kCall);
    EXPECT_NO_THROW(inner.Finish());
  }
  EXPECT_EQ(RaisedBy([&] { outer.Finish(); }).description, u"Out of memory while firing Status.");
}

}  // namespace
}  // namespace rssvane
