#include "goldmine/field_split.h"

#include <gtest/gtest.h>

#include <vector>

namespace pelmora {
namespace {

std::vector<std::string> SplitAll(std::string rest) {
  std::vector<std::string> fields;
  std::string field;
  while (!rest.empty()) {
    SplitField(rest, field);
    fields.push_back(field);
  }
  return fields;
}

TEST(SplitField, TakesFieldsAndSkipsRecordDelimiterAfterFieldDelimiter) {
  EXPECT_EQ(SplitAll("1\x01"
                     "a\x01"
                     "b\x01\x02"
                     "c\x01\x02"),
            (std::vector<std::string>{"1", "a", "b", "c"}));
}

TEST(SplitField, EmptyFieldBetweenDelimitersIsKept) {
  EXPECT_EQ(SplitAll("a\x01\x01"
                     "b\x01"),
            (std::vector<std::string>{"a", "", "b"}));
}

TEST(SplitField, TextWithoutDelimiterIsOneField) {
  std::string rest = "tail", field = "old";
  SplitField(rest, field);
  EXPECT_EQ(field, "tail");
  EXPECT_TRUE(rest.empty());
}

TEST(SplitField, RecordDelimiterNotAfterFieldDelimiterStaysInText) {
  std::string rest =
                  "a\x02"
                  "b\x01"
                  "c",
              field;
  SplitField(rest, field);
  EXPECT_EQ(field,
            "a\x02"
            "b");
  EXPECT_EQ(rest, "c");
}

}  // namespace
}  // namespace pelmora
