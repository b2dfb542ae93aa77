#include "app/text.h"

#include <gtest/gtest.h>

TEST(SplitAtFirstColon, Cases) {
  struct Case {
    std::string text, head, tail;
  } cases[] = {
      {"3:fetch_divisions:", "3", "fetch_divisions:"},
      {"fetch_divisions:", "fetch_divisions", ""},
      {"a:b:c", "a", "b:c"},
      {"hello", "hello", ""},
      {"", "", ""},
      {":x", "", "x"},
  };
  for (const Case& c : cases) {
    auto [head, tail] = split_at_first_colon(c.text);
    EXPECT_EQ(head, c.head) << c.text;
    EXPECT_EQ(tail, c.tail) << c.text;
  }
}

TEST(Utf, RoundTripsWellFormedText) {
  std::string text = "Ann \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x90\x84 \x1f end";
  std::u16string wide = utf8_to_utf16(text);
  EXPECT_EQ(wide, u"Ann \u00e9 \u20ac \U0001F404 \x1f end");
  EXPECT_EQ(utf16_to_utf8(wide), text);
  EXPECT_EQ(utf8_to_utf16(""), u"");
  EXPECT_EQ(utf16_to_utf8(u""), "");
}

TEST(Utf, IllFormedInputBecomesReplacementCharacter) {
  struct Case {
    std::string bytes;
    std::u16string wide;
  } cases[] = {
      {"a\xFF" "b", u"a\uFFFDb"},
      {"\xC3", u"\uFFFD"},                  // truncated
      {"\xC0\xAF", u"\uFFFD\uFFFD"},        // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // surrogate in UTF-8
      {"\xE2\x82", u"\uFFFD"},
  };
  for (const Case& c : cases) EXPECT_EQ(utf8_to_utf16(c.bytes), c.wide);
  std::u16string lone = u"x";
  lone += char16_t(0xD800);
  lone += u"y";
  EXPECT_EQ(utf16_to_utf8(lone), "x\xEF\xBF\xBDy");
  EXPECT_EQ(make_valid_utf8("a\xFF"), "a\xEF\xBF\xBD");
}

TEST(JsString, QuotesEverythingThatCouldBreakAScript) {
  EXPECT_EQ(quote_js_string("a\"b\\c\n\x01</script>\xE2\x80\xA8"),
            "\"a\\\"b\\\\c\\n\\u0001\\u003c/script>\\u2028\"");
  EXPECT_EQ(quote_js_string("\xFF"), "\"\xEF\xBF\xBD\"");
}

TEST(JsString, ParsesWhatItQuotes) {
  for (std::string text : {"", "3:fetch_divisions:", "a\x1f" "b", "\xF0\x9F\x90\x84 <b>", "\"\\/"}) {
    std::string back;
    ASSERT_TRUE(parse_json_string(quote_js_string(text), &back)) << text;
    EXPECT_EQ(back, text);
  }
}

TEST(JsString, RejectsWhatIsNotOneString) {
  std::string out;
  for (std::string bad : {"", "abc", "\"open", "\"a\" x", "\"\\q\"", "\"\\u12\"", "\"a\nb\"", "1"})
    EXPECT_FALSE(parse_json_string(bad, &out)) << bad;
  ASSERT_TRUE(parse_json_string("  \"\\ud83d\\udc04\\ud800x\"  ", &out));
  EXPECT_EQ(out, "\xF0\x9F\x90\x84\xEF\xBF\xBDx");
}
