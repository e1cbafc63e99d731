#include "crash/ui/delivery/base64.h"

#include <gtest/gtest.h>

#include <random>

#include "mime_reading.h"

namespace ostrel::delivery {
namespace {

TEST(Base64, StandardVectors) {
  // RFC 4648, section 10.
  const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"foobar", "Zm9vYmFy"},
                                                         {"\xff\xfe\xfd", "//79"}};
  for (const auto& [plain, encoded] : vectors) {
    EXPECT_EQ(EncodeBase64(std::string_view(plain)), encoded) << plain;
    EXPECT_EQ(Base64Length(std::string_view(plain).size()), std::string_view(encoded).size());
  }
}

TEST(Base64, EveryLengthDecodesBackEqual) {
  std::mt19937 random(7);
  for (std::size_t length = 0; length < 300; ++length) {
    std::string bytes(length, '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    const std::string encoded = EncodeBase64(bytes);
    EXPECT_EQ(encoded.size(), Base64Length(length));
    EXPECT_EQ(testing::DecodeBase64(encoded), bytes) << length;
  }
}

}  // namespace
}  // namespace ostrel::delivery
