// The pages the application serves are the documents assembled from ui/
// into the build's ui folder (the ones the browser tests load), byte for byte.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ui/pages.h"

namespace {

std::string read_assembled(const std::string& name) {
  std::ifstream in(std::string(RINGTALLY_UI_DIR) + "/" + name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Pages, EmbeddedTextsAreTheDocuments) {
  struct Case {
    const char* file;
    std::string_view page;
  } cases[] = {{"main.html", ui::main_page},
               {"placing.html", ui::placing_page},
               {"reasons.html", ui::reasons_page}};
  for (const Case& c : cases) {
    std::string assembled = read_assembled(c.file);
    ASSERT_FALSE(assembled.empty()) << c.file;
    EXPECT_EQ(std::string(c.page), assembled) << c.file;
    // Every part is in place: no assembly marker or unset value is left.
    EXPECT_EQ(assembled.find("<!-- include "), std::string::npos) << c.file;
    EXPECT_EQ(assembled.find("<!-- set "), std::string::npos) << c.file;
    EXPECT_TRUE(assembled.rfind("<!DOCTYPE html>", 0) == 0) << c.file;
    EXPECT_NE(assembled.find("</html>"), std::string::npos) << c.file;
  }
}

TEST(Pages, PhoneCardsAreAscii) {
  for (std::string_view page : {ui::placing_page, ui::reasons_page})
    for (char c : page) ASSERT_EQ(static_cast<unsigned char>(c) & 0x80, 0);
}

}  // namespace
