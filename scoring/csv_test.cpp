#include "scoring/csv.h"

#include <gtest/gtest.h>

namespace {

TEST(Csv, FieldsAreQuotedOnlyWhenTheyMustBe) {
  const struct {
    std::string text, written;
  } cases[] = {
      {"", ""},
      {"Ann Lee", "Ann Lee"},
      {"Lee, Ann", "\"Lee, Ann\""},
      {"Ann \"Red\" Lee", "\"Ann \"\"Red\"\" Lee\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\rhere", "\"cr\rhere\""},
      {"\"", "\"\"\"\""},
      {"Zoë Ångström", "Zoë Ångström"},
      {" padded ", " padded "},
      {"semi;colon", "semi;colon"},
  };
  for (const auto& c : cases) EXPECT_EQ(csv_field(c.text), c.written) << c.text;
}

TEST(Csv, LinesEndInCrLfAndDocumentsStartWithTheByteOrderMark) {
  EXPECT_EQ(csv_line({"a", "b,c", ""}), "a,\"b,c\",\r\n");
  EXPECT_EQ(csv_line({}), "\r\n");
  EXPECT_EQ(csv_document({"No.", "Name"}, {{"1", "Ann"}, {"2", "Lee, Bo"}}),
            "\xEF\xBB\xBFNo.,Name\r\n1,Ann\r\n2,\"Lee, Bo\"\r\n");
  EXPECT_EQ(csv_document({"Only"}, {}), "\xEF\xBB\xBFOnly\r\n");
}

}  // namespace
