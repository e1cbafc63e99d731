#include "app/write_detail.h"

#include <gtest/gtest.h>

namespace pelmora {
namespace {

const ContactRef kContact{"ACC1", "Zoe Miller", "CREC1"};

TEST(WriteDetailPairs, TenPairsInOrderForANewRecord) {
  auto pairs = WriteDetailPairs("", {"LinkedIn ", "Personal", "www.example.com/zoe"}, kContact);
  ASSERT_TRUE(pairs);
  const NameValuePairs expected = {
      {"recid", ""},
      {"detail", "Web Site"},
      {"ref", "http://www.example.com/zoe"},
      {"accountno", "ACC1"},
      {"ufield1", "LinkedIn "},
      {"ufield2", "CREC1"},
      {"ufield3", "Personal"},
      {"ufield10", "http://www.example.com/zoe"},
      {"ufield11", ""},
      {"notes", "~~REF=http://www.example.com/zoe\n~~NOTES=Zoe Miller - LinkedIn  (Personal)) "},
  };
  EXPECT_EQ(*pairs, expected);
}

TEST(WriteDetailPairs, EditCarriesRecordIdAndEmptyTypeJoinsPieces) {
  auto pairs = WriteDetailPairs("DREC7", {"Website", "", "https://x.example"}, kContact);
  ASSERT_TRUE(pairs);
  EXPECT_EQ((*pairs)[0].second, "DREC7");
  EXPECT_EQ((*pairs)[6].second, "");
  EXPECT_EQ((*pairs)[9].second, "~~REF=https://x.example\n~~NOTES=Zoe Miller - Website ()) ");
}

TEST(WriteDetailPairs, NothingWithoutDescriptionOrAddress) {
  EXPECT_FALSE(WriteDetailPairs("", {"", "Company", "x"}, kContact));
  EXPECT_FALSE(WriteDetailPairs("", {"Website", "Company", ""}, kContact));
}

TEST(WebsiteUrl, PrefixUnlessTextBeginsWithLowerCaseHttp) {
  EXPECT_EQ(WebsiteUrl("example.com"), "http://example.com");
  EXPECT_EQ(WebsiteUrl("HTTP://example.com"), "http://HTTP://example.com");
  EXPECT_EQ(WebsiteUrl("https://example.com"), "https://example.com");
  EXPECT_EQ(WebsiteUrl("httpfoo"), "httpfoo");
}

TEST(SplitAddress, ThirtyFiveThenFortyCharacters) {
  std::string url;
  for (int i = 0; i < 100; ++i) url += static_cast<char>('a' + i % 26);
  auto [p1, p2] = SplitAddress(url);
  EXPECT_EQ(p1, url.substr(0, 35));
  EXPECT_EQ(p2, url.substr(35, 40));
  auto pairs = WriteDetailPairs("", {"Website", "Company", url}, kContact);
  EXPECT_NE((*pairs)[9].second.find("~~REF=http://" + url + "\n"), std::string::npos);
  EXPECT_EQ(SplitAddress(std::string(35, 'x')).second, "");
  EXPECT_EQ(SplitAddress(std::string(36, 'x')).second, "x");
}

}  // namespace
}  // namespace pelmora
