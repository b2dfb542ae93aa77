// The pages the application serves are the documents in ui/, byte for byte.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ui/pages.h"

namespace {

std::string read_source(const std::string& name) {
  std::ifstream in(std::string(RINGTALLY_SOURCE_DIR) + "/ui/" + name, std::ios::binary);
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
    std::string source = read_source(c.file);
    ASSERT_FALSE(source.empty()) << c.file;
    EXPECT_EQ(std::string(c.page), source) << c.file;
  }
}

TEST(Pages, PhoneCardsAreAscii) {
  for (std::string_view page : {ui::placing_page, ui::reasons_page})
    for (char c : page) ASSERT_EQ(static_cast<unsigned char>(c) & 0x80, 0);
}

}  // namespace
