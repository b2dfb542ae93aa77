#include "app/page_bridge.h"

#include <gtest/gtest.h>

#include "app/text.h"

namespace {
const std::string kPrefix = "window.chrome.webview.__ringtallyDeliver(";
const std::string kSuffix = ");";
}  // namespace

// Every reply must reach the page as exactly the text the worker produced
// (made valid UTF-8), whatever it holds: the literal between the call's
// parentheses must read back to it and hide nothing that ends the script.
TEST(ReplyDeliveryScript, CarriesAnyReplyIntact) {
  struct Case {
    std::string reply, delivered;
  } cases[] = {
      {"3:", "3:"},
      {"4:ERROR:Unknown function.", "4:ERROR:Unknown function."},
      {"5:a\037b\037c", "5:a\037b\037c"},  // FieldList separators
      {"6:\"quoted\" \\ 'single'", "6:\"quoted\" \\ 'single'"},
      {"7:</script><script>alert(1)</script>", "7:</script><script>alert(1)</script>"},
      {"8:line\nbreak\r\t\x01", "8:line\nbreak\r\t\x01"},
      {"9:\xE2\x80\xA8\xE2\x80\xA9", "9:\xE2\x80\xA8\xE2\x80\xA9"},
      {std::string("10:nul\0inside", 13), std::string("10:nul\0inside", 13)},
      {"11:bad \xFF byte", "11:bad \xEF\xBF\xBD byte"},
      {"12:\xF0\x9F\x90\x84 cow", "12:\xF0\x9F\x90\x84 cow"},
  };
  for (const Case& c : cases) {
    std::string script = reply_delivery_script(c.reply);
    ASSERT_EQ(script.compare(0, kPrefix.size(), kPrefix), 0) << script;
    ASSERT_EQ(script.compare(script.size() - kSuffix.size(), kSuffix.size(), kSuffix), 0);
    std::string literal =
        script.substr(kPrefix.size(), script.size() - kPrefix.size() - kSuffix.size());
    for (char ch : literal) {
      unsigned char byte = static_cast<unsigned char>(ch);
      EXPECT_TRUE(byte >= 0x20 && ch != '<') << "raw byte " << int(byte) << " in " << literal;
    }
    EXPECT_EQ(literal.find("\xE2\x80\xA8"), std::string::npos);
    EXPECT_EQ(literal.find("\xE2\x80\xA9"), std::string::npos);
    std::string back;
    ASSERT_TRUE(parse_json_string(literal, &back)) << literal;
    EXPECT_EQ(back, c.delivered);
  }
}
