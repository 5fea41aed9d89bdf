#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ControlTestSupport.h"
#include "control/Members.h"
#include "rssvane/RSS.h"

namespace rssvane {
namespace {

using Kind = RSS::DispatchKind;

TEST(Dispatch, MembersAreFoundByNameIgnoringCaseAndByDispId) {
  EXPECT_EQ(RSS::DispIdOfName(u"ChannelTitle"), 13);
  EXPECT_EQ(RSS::DispIdOfName(u"channeltitle"), 13);
  EXPECT_EQ(RSS::DispIdOfName(u"TextInputTitle"), 47);
  EXPECT_EQ(RSS::DispIdOfName(u"Config"), 501);
  EXPECT_EQ(RSS::DispIdOfName(u"WriteFile"), 511);
  EXPECT_EQ(RSS::DispIdOfName(u"NoSuchMember"), RSS::kDispIdUnknown);

  RSS rss;
  rss.Invoke(u"CHANNELTITLE", Kind::kPropertyPut, {Variant(u"by name")});
  EXPECT_EQ(rss.ChannelTitle(), u"by name");
  EXPECT_EQ(rss.Invoke(13, Kind::kPropertyGet, {}), Variant(u"by name"));
  rss.Invoke(u"AddItem", Kind::kMethod, {Variant(u"t"), Variant(u"d"), Variant(u"l")});
  EXPECT_EQ(rss.Invoke(u"ItemCount", Kind::kPropertyGet, {}), Variant(int16_t{1}));
  EXPECT_EQ(rss.Invoke(u"ItemTitle", Kind::kPropertyGet, {Variant(int32_t{1})}), Variant(u"t"));
  rss.Invoke(u"ItemLink", Kind::kPropertyPut, {Variant(u"1"), Variant(u"new")});  // the index as text
  EXPECT_EQ(rss.ItemLink(1), u"new");
  EXPECT_EQ(rss.Invoke(u"RSSVersion", Kind::kPropertyGet, {}), Variant(int32_t{3}));
  EXPECT_EQ(rss.Invoke(u"Config", Kind::kMethod, {Variant(u"AllowNonRSS")}), Variant(u"1"));
  EXPECT_TRUE(rss.Invoke(u"Reset", Kind::kMethod, {}).IsEmpty());
  EXPECT_EQ(rss.ItemCount(), 0);
}

TEST(Dispatch, LateBoundFailuresCarryTheirNumbers) {
  RSS rss;
  Raised readOnly = RaisedBy([&] { rss.Invoke(u"RSSData", Kind::kPropertyPut, {Variant(u"x")}); });
  EXPECT_EQ(readOnly.hresult, 0x800A017Fu);
  EXPECT_EQ(readOnly.description, u"Property is read-only.");
  EXPECT_EQ(readOnly.helpFile, u"kestrix.chm");
  EXPECT_EQ(readOnly.helpContext, 25942u);

  Raised unknown = RaisedBy([&] { rss.Invoke(u"Nope", Kind::kPropertyGet, {}); });
  EXPECT_EQ(unknown.number, 438);
  EXPECT_EQ(unknown.description, u"Object doesn't support this property or method.");
  EXPECT_EQ(RaisedBy([&] { rss.Invoke(u"ChannelTitle", Kind::kMethod, {}); }).number, 438);
  EXPECT_EQ(RaisedBy([&] { rss.Invoke(u"Reset", Kind::kPropertyGet, {}); }).number, 438);

  Raised count = RaisedBy([&] { rss.Invoke(u"AddItem", Kind::kMethod, {Variant(u"only one")}); });
  EXPECT_EQ(count.number, 450);
  EXPECT_EQ(count.description, u"Wrong number of arguments or invalid property assignment.");
  EXPECT_EQ(RaisedBy([&] { rss.Invoke(u"ItemTitle", Kind::kPropertyGet, {}); }).number, 450);

  Raised mismatch = RaisedBy([&] { rss.Invoke(u"ItemTitle", Kind::kPropertyGet, {Variant(u"one")}); });
  EXPECT_EQ(mismatch.number, 13);
  EXPECT_EQ(mismatch.description, u"Type mismatch.");
  Raised overflow = RaisedBy([&] { rss.Invoke(u"ItemCount", Kind::kPropertyPut, {Variant(int32_t{40000})}); });
  EXPECT_EQ(overflow.number, 6);
  EXPECT_EQ(overflow.description, u"Overflow.");
  EXPECT_EQ(overflow.helpContext, 25930u);

  // The member's own errors come through unchanged.
  EXPECT_EQ(RaisedBy([&] { rss.Invoke(u"ItemTitle", Kind::kPropertyGet, {Variant(int32_t{0})}); }).number, 381);
  Raised write = RaisedBy([&] { rss.Invoke(u"ItemTitle", Kind::kPropertyPut, {Variant(int32_t{0}), Variant(u"x")}); });
  EXPECT_EQ(write.number, 20233);
  EXPECT_EQ(write.description, u"Invalid item index.");
  EXPECT_EQ(RaisedBy([&] { rss.Invoke(u"RSSVersion", Kind::kPropertyPut, {Variant(int32_t{4})}); }).hresult,
            0x800A017Cu);
}

// Over every member the control has: the reads that need run time refuse at
// design time (with no help reference, as reads have none), all others work
// there, and every write and call names its own help topic.
TEST(Dispatch, EveryMemberRefusesAtDesignTimeExactlyTheRuntimeReadsAndNamesItsHelpTopic) {
  const std::set<std::u16string_view> runtimeOnly = {
      u"ChannelCategoryDomain", u"Connected", u"ItemAuthor", u"ItemCategory", u"ItemCategoryDomain",
      u"ItemComments", u"ItemCount", u"ItemDescription", u"ItemGuid", u"ItemLink", u"ItemPubDate",
      u"ItemSource", u"ItemSourceURL", u"ItemTitle", u"NamespaceCount", u"NamespacePrefixes", u"Namespaces",
      u"RSSData", u"TransferTextB"};
  RSS rss;
  rss.AddItem(u"t", u"d", u"l");
  rss.AddNamespace(u"p", u"urn:p");
  rss.SetDesignMode(true);
  for (const MemberInfo& member : AllMembers()) {
    SCOPED_TRACE(Utf8(std::u16string(member.name)));
    if (member.isMethod) {
      std::vector<Variant> tooMany(member.parameters + 1u, Variant(u"1"));
      Raised call = RaisedBy([&] { rss.Invoke(member.dispId, Kind::kMethod, tooMany); });
      EXPECT_EQ(call.number, 450);
      EXPECT_EQ(call.helpFile, u"kestrix.chm");
      EXPECT_EQ(call.helpContext, 45900u + static_cast<uint32_t>(member.dispId - 500));
      continue;
    }
    const std::vector<Variant> index(member.parameters, Variant(int16_t{1}));
    if (runtimeOnly.count(member.name)) {
      Raised read = RaisedBy([&] { rss.Invoke(member.dispId, Kind::kPropertyGet, index); });
      EXPECT_EQ(read.hresult, 0x800A018Au);
      EXPECT_EQ(read.description, u"Property is runtime only (no supported in design time).");
      EXPECT_EQ(read.helpFile, u"");
      EXPECT_EQ(read.helpContext, 0u);
    } else {
      EXPECT_NO_THROW(rss.Invoke(member.dispId, Kind::kPropertyGet, index));
    }
    Raised write = RaisedBy([&] { rss.Invoke(member.dispId, Kind::kPropertyPut, {}); });
    EXPECT_EQ(write.helpFile, u"kestrix.chm");
    EXPECT_EQ(write.helpContext,
              member.dispId == kDispTransferTextB ? 35911u : 25900u + static_cast<uint32_t>(member.dispId));
  }
}

TEST(Variant, CoercesArgumentsAsAnAutomationHostDoes) {
  int16_t i16;
  EXPECT_EQ(Variant(2.5).ToInt16(i16), 0u);
  EXPECT_EQ(i16, 2);  // half to even
  EXPECT_EQ(Variant(3.5).ToInt16(i16), 0u);
  EXPECT_EQ(i16, 4);
  EXPECT_EQ(Variant(true).ToInt16(i16), 0u);
  EXPECT_EQ(i16, -1);
  EXPECT_EQ(Variant(u" -12 ").ToInt16(i16), 0u);
  EXPECT_EQ(i16, -12);
  EXPECT_EQ(Variant(int32_t{32768}).ToInt16(i16), 0x800A0006u);
  EXPECT_EQ(Variant(u"1e10").ToInt16(i16), 0x800A0006u);
  EXPECT_EQ(Variant(u"12abc").ToInt16(i16), 0x800A000Du);
  EXPECT_EQ(Variant(u"").ToInt16(i16), 0x800A000Du);
  EXPECT_EQ(Variant().ToInt16(i16), 0u);
  EXPECT_EQ(i16, 0);

  std::u16string text;
  EXPECT_EQ(Variant(int32_t{-7}).ToText(text), 0u);
  EXPECT_EQ(text, u"-7");
  EXPECT_EQ(Variant(false).ToText(text), 0u);
  EXPECT_EQ(text, u"False");
  EXPECT_EQ(Variant(0.5).ToText(text), 0u);
  EXPECT_EQ(text, u"0.5");

  bool flag;
  EXPECT_EQ(Variant(u"true").ToBool(flag), 0u);
  EXPECT_TRUE(flag);
  EXPECT_EQ(Variant(u"0").ToBool(flag), 0u);
  EXPECT_FALSE(flag);
  EXPECT_EQ(Variant(u"maybe").ToBool(flag), 0x800A000Du);
}

}  // namespace
}  // namespace rssvane
