#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ControlTestSupport.h"
#include "control/Contents.h"
#include "control/Members.h"
#include "rssvane/RSS.h"

namespace rssvane {
namespace {

using Kind = RSS::DispatchKind;

// A host's bag: what was written, in the order written.
class MapBag : public PropertyBag {
 public:
  std::vector<std::pair<std::u16string, Variant>> entries;
  bool Read(std::u16string_view name, Variant& value) override {
    for (const auto& [n, v] : entries) {
      if (n == name) {
        value = v;
        return true;
      }
    }
    return false;
  }
  void Write(std::u16string_view name, const Variant& value) override { entries.emplace_back(name, value); }
};

// Every saved property this control has, read back by name.
std::vector<std::pair<std::u16string, Variant>> SavedState(RSS& rss) {
  std::vector<std::pair<std::u16string, Variant>> state;
  for (const SavedProperty& saved : SavedProperties()) {
    if (FindMember(saved.dispId)) state.emplace_back(saved.name, rss.Invoke(saved.dispId, Kind::kPropertyGet, {}));
  }
  return state;
}

void SetEverySavedText(RSS& rss, std::u16string_view prefix) {
  for (const SavedProperty& saved : SavedProperties()) {
    const MemberInfo* member = FindMember(saved.dispId);
    if (member && member->section != Section::kNone) {
      rss.Invoke(saved.dispId, Kind::kPropertyPut, {Variant(std::u16string(prefix) + std::u16string(saved.name))});
    }
  }
}

TEST(Persistence, TheSavedPropertiesAreTheListedOnesThatExistUnderTheirOwnDispIds) {
  std::vector<std::u16string_view> names;
  int32_t last = 0;
  for (const SavedProperty& saved : SavedProperties()) {
    names.push_back(saved.name);
    EXPECT_GT(saved.dispId, last);
    last = saved.dispId;
    if (const MemberInfo* member = FindMember(saved.dispId)) {
      EXPECT_EQ(member->name, saved.name);
    }
  }
  EXPECT_EQ(names.size(), 30u);
  EXPECT_EQ(names.front(), u"Accept");
  EXPECT_EQ(names.back(), u"User");
}

TEST(Persistence, ABagAndAStreamCarryTheSavedPropertiesOverTheDefaultsAndNothingElse) {
  RSS source;
  SetEverySavedText(source, u"caf\u00e9 \U0001F600 ");
  source.SetRSSVersion(rssVersion091);
  source.SetTimeout(17);
  source.AddItem(u"item", u"d", u"l");
  source.AddNamespace(u"dc", u"urn:dc");

  MapBag bag;
  source.Save(bag);
  EXPECT_EQ(bag.entries, SavedState(source));
  const std::string contents = source.SaveContents();

  for (int way = 0; way < 2; ++way) {
    RSS target;
    target.AddItem(u"kept", u"", u"");
    target.AddNamespace(u"x", u"urn:x");
    target.Config(u"CodePage=65001");
    if (way == 0) {
      target.Load(bag);
    } else {
      target.LoadContents(contents);
    }
    EXPECT_EQ(SavedState(target), SavedState(source)) << way;
    // What is not saved stays as it was.
    EXPECT_EQ(target.ItemCount(), 1);
    EXPECT_EQ(target.ItemTitle(1), u"kept");
    EXPECT_EQ(target.Namespaces(1), u"urn:x");
    EXPECT_EQ(target.Config(u"CodePage"), u"65001");
  }

  // A property missing from what is loaded takes its construction default,
  // whatever the control held before.
  RSS target;
  target.SetChannelTitle(u"old");
  target.SetChannelDocs(u"old");
  target.SetTimeout(5);
  MapBag partial;
  partial.entries = {{u"ChannelDescription", Variant(u"new")}, {u"Timeout", Variant(u"30")}, {u"Other", Variant(1.5)}};
  target.Load(partial);
  EXPECT_EQ(target.ChannelDescription(), u"new");
  EXPECT_EQ(target.Timeout(), 30);
  EXPECT_EQ(target.ChannelTitle(), u"");
  EXPECT_EQ(target.ChannelDocs(), RSS().ChannelDocs());
}

TEST(Persistence, TheContentsStreamHasItsDocumentedLayout) {
  const std::string bytes = WriteContents({{13, Variant(u"A\u00e9")}, {43, Variant(int32_t{3})}, {48, Variant(int16_t{-2})}});
  const std::string expected("RSSP\x01\x00\x03\x00"
                             "\x0D\x00\x01\x02\x00\x00\x00" "A\x00\xE9\x00"
                             "\x2B\x00\x03\x03\x00\x00\x00"
                             "\x30\x00\x02\xFE\xFF",
                             31);
  EXPECT_EQ(bytes, expected);
  std::vector<SavedValue> read;
  std::string error;
  ASSERT_TRUE(ReadContents(bytes, read, error)) << error;
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[0].value, Variant(u"A\u00e9"));
  EXPECT_EQ(read[1].value, Variant(int32_t{3}));
  EXPECT_EQ(read[2].value, Variant(int16_t{-2}));
}

TEST(Persistence, AStreamOrBagThatCannotBeLoadedWhollyChangesNothing) {
  RSS source;
  SetEverySavedText(source, u"saved ");
  const std::string good = source.SaveContents();

  RSS target;
  target.SetChannelTitle(u"before");
  target.SetTimeout(9);
  const std::string before = target.SaveContents();
  auto refused = [&](const std::string& bytes) {
    Raised raised = RaisedBy([&] { target.LoadContents(bytes); });
    EXPECT_EQ(target.SaveContents(), before);
    return raised;
  };

  for (size_t size = 0; size < good.size(); ++size) {
    Raised cut = refused(good.substr(0, size));
    EXPECT_EQ(cut.hresult, 0x800A0141u);
    EXPECT_EQ(Utf8(cut.description), "The saved properties end early, after " + std::to_string(size) + " bytes.");
    EXPECT_EQ(cut.source, u"Kestrix.RSS.1");
  }
  EXPECT_EQ(refused(good + "x").description, u"The saved properties are followed by 1 more byte.");
  std::string patched = good;
  patched[4] = 2;
  EXPECT_EQ(refused(patched).description,
            u"The saved properties are of layout version 2; this control reads layout version 1.");
  patched = good;
  patched[0] = 'X';
  EXPECT_EQ(refused(patched).description, u"These are not saved properties of the RSS control.");
  patched = good;
  patched[6] = 31;
  EXPECT_EQ(refused(patched).description, u"The saved properties claim 31 values; there are at most 30.");
  patched = good;
  patched[10] = 9;
  EXPECT_EQ(refused(patched).description, u"The saved properties hold a value of unknown kind 9.");
  EXPECT_EQ(refused(WriteContents({{13, Variant(u"t")}, {3, Variant(u"c")}})).description,
            u"The saved properties hold DISPID 3 where it cannot be.");
  EXPECT_EQ(refused(WriteContents({{13, Variant(u"t")}, {13, Variant(u"t")}})).description,
            u"The saved properties hold DISPID 13 where it cannot be.");

  // A value its property refuses fails as that property fails, before the
  // values ahead of it reach the control.
  Raised range = refused(WriteContents({{13, Variant(u"new title")}, {43, Variant(int32_t{7})}}));
  EXPECT_EQ(range.description, u"Value is out of range.");
  EXPECT_EQ(range.helpContext, 25943u);
  MapBag bag;
  bag.entries = {{u"ChannelTitle", Variant(u"new title")}, {u"Timeout", Variant(u"soon")}};
  Raised mismatch = RaisedBy([&] { target.Load(bag); });
  EXPECT_EQ(mismatch.description, u"Type mismatch.");
  EXPECT_EQ(target.SaveContents(), before);
}

}  // namespace
}  // namespace rssvane
