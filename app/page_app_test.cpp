#include "app/page_app.h"

#include <gtest/gtest.h>

namespace {

TEST(PageAppOptions, DefaultsAndEachOption) {
  PageAppOptions options;
  std::string error;
  ASSERT_TRUE(parse_page_app_options({}, &options, &error));
  EXPECT_FALSE(options.has_desktop);
  EXPECT_EQ(options.card_port, 56780);
  EXPECT_EQ(options.page_port, 0);
  EXPECT_TRUE(options.open_browser);

  ASSERT_TRUE(parse_page_app_options({"--no-browser", "--desktop", "C:\\Users\\Zoë\\Desktop", "--card-port", "0",
                                      "--page-port", "65535"},
                                     &options, &error));
  EXPECT_TRUE(options.has_desktop);
  EXPECT_EQ(options.desktop, "C:\\Users\\Zoë\\Desktop");
  EXPECT_EQ(options.card_port, 0);
  EXPECT_EQ(options.page_port, 65535);
  EXPECT_FALSE(options.open_browser);
}

TEST(PageAppOptions, RefusesWhatItDoesNotKnow) {
  struct Case {
    std::vector<std::string> args;
    const char* error;
  };
  const Case cases[] = {
      {{"--automation"}, "The option --automation is not known."},
      {{"--open-file", "x.db"}, "The option --open-file is not known."},
      {{"--desktop"}, "The option --desktop needs a value."},
      {{"--page-port", "65536"}, "The page port must be a number from 0 (any free port) to 65535."},
      {{"--page-port", "-1"}, "The page port must be a number from 0 (any free port) to 65535."},
      {{"--card-port", "80x"}, "The card port must be a number from 0 (no card server) to 65535."},
      {{"--card-port", ""}, "The card port must be a number from 0 (no card server) to 65535."},
  };
  for (const Case& c : cases) {
    PageAppOptions options;
    std::string error;
    EXPECT_FALSE(parse_page_app_options(c.args, &options, &error)) << c.args[0];
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
