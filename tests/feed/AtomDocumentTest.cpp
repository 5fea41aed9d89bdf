#include "feed/AtomDocument.h"

#include <gtest/gtest.h>

#include <string>

namespace rssvane {
namespace {

TEST(AtomDocument, OnlyAFeedRootInTheAtomNamespaceIsAtom) {
  EXPECT_TRUE(IsAtomDocument("<feed xmlns=\"http://www.w3.org/2005/Atom\"/>"));
  EXPECT_TRUE(
      IsAtomDocument("\xEF\xBB\xBF<?xml version='1.0'?>\n<!-- <rss> -->\n<!DOCTYPE feed [<!ENTITY e '>'><!-- ] -->]>"
                     "<?pi?><a:feed xml:lang='en' xmlns:b='urn:b'\n xmlns:a = 'http://www.w3.org/2005/Atom'>"));
  EXPECT_FALSE(IsAtomDocument("<rss xmlns=\"http://www.w3.org/2005/Atom\"/>"));
  EXPECT_FALSE(IsAtomDocument("<feed xmlns=\"http://purl.org/atom/ns#\"/>"));  // Atom 0.3
  EXPECT_FALSE(IsAtomDocument("<feed xmlns:a=\"http://www.w3.org/2005/Atom\"/>"));
  EXPECT_FALSE(IsAtomDocument("<a:feed xmlns=\"http://www.w3.org/2005/Atom\"/>"));
  EXPECT_FALSE(IsAtomDocument("<feeds xmlns=\"http://www.w3.org/2005/Atom\"/>"));
  EXPECT_FALSE(IsAtomDocument("<feed><x xmlns=\"http://www.w3.org/2005/Atom\"/></feed>"));
  EXPECT_FALSE(IsAtomDocument("<!-- cut"));
  EXPECT_FALSE(IsAtomDocument("<feed xmlns=\"http://www.w3.org/2005/Atom"));
}

TEST(AtomDocument, DatesBecomeRfc822WithTheirOwnOffset) {
  std::string out;
  ASSERT_TRUE(AtomDateToRfc822("2003-12-13T18:30:02Z", out));
  EXPECT_EQ(out, "Sat, 13 Dec 2003 18:30:02 GMT");
  ASSERT_TRUE(AtomDateToRfc822("2003-12-13t08:30:02.25-05:30", out));
  EXPECT_EQ(out, "Sat, 13 Dec 2003 08:30:02 -0530");
  ASSERT_TRUE(AtomDateToRfc822("2000-02-29 00:00:60+00:00", out));  // a leap day, a leap second
  EXPECT_EQ(out, "Tue, 29 Feb 2000 00:00:60 +0000");
  ASSERT_TRUE(AtomDateToRfc822("1969-12-31T23:59:59Z", out));
  EXPECT_EQ(out, "Wed, 31 Dec 1969 23:59:59 GMT");
  for (const char* bad :
       {"2003-12-13", "2003-12-13T18:30:02", "2003-12-13T18:30Z", "1900-02-29T00:00:00Z", "2003-13-01T00:00:00Z",
        "2003-04-31T00:00:00Z", "2003-12-13T24:00:00Z", "2003-12-13T18:30:02.Z", "2003-12-13T18:30:02+0100",
        "2003-12-13T18:30:02Z ", "Sat, 13 Dec 2003 18:30:02 GMT"}) {
    out = "kept";
    EXPECT_FALSE(AtomDateToRfc822(bad, out)) << bad;
    EXPECT_EQ(out, "kept");
  }
}

}  // namespace
}  // namespace rssvane
