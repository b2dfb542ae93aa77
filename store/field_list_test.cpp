#include "store/field_list.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(SplitFields, Cases) {
  struct Case {
    std::string text;
    std::vector<std::string> fields;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"none\x1f" "A", {"none", "A"}},
      {"none\x1f" "A\x1f", {"none", "A"}},                // trailing separator adds nothing
      {"none\x1f" "A\x1f\x1f", {"none", "A", ""}},        // but a doubled one does
      {"\x1f" "b", {"", "b"}},
      {"\x1f", {""}},
      {"a:b\x1f" "c:d", {"a:b", "c:d"}},
  };
  for (const Case& c : cases) EXPECT_EQ(split_fields(c.text), c.fields) << c.text;
}

TEST(ReadInt, Cases) {
  struct Case {
    std::string text;
    int value;
  } good[] = {{"12x", 12}, {" 7", 7}, {"+3", 3}, {"-4", -4}, {"0", 0},
              {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"0012", 12}};
  for (const Case& c : good) EXPECT_EQ(read_int(c.text), c.value) << c.text;
  for (std::string bad : {"x", "", " ", "-", "+", "x12"})
    EXPECT_THROW(read_int(bad), std::invalid_argument) << bad;
  for (std::string big : {std::string("2147483648"), std::string("-2147483649"), std::string(300, '9')})
    EXPECT_THROW(read_int(big), std::out_of_range) << big;
}

TEST(FieldAt, MissingFieldIsOutOfRange) {
  std::vector<std::string> two = {"a", "b"};
  EXPECT_EQ(field_at(two, 1), "b");
  EXPECT_THROW(field_at(two, 2), std::out_of_range);
}

}  // namespace
