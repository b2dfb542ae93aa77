// The placing score through the whole path the organiser uses: class saved
// with its official placing and cuts, a placing saved, scores fetched.
#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

class ScoringPath : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(call("create_contest:Path"), "");
    ASSERT_EQ(call("save_division:" + fields({"none", "Junior", "3"})), "");
    ASSERT_EQ(call("save_team:" + fields({"none", "1000", "Reds", "Team", "Coach"})), "");
    ASSERT_EQ(call("call_save_contestant:" + fields({"none", "1010", "Ann"})), "");
    ASSERT_EQ(call("save_class_type:" + fields({"none", "Cattle"})), "");
  }
  std::string call(const std::string& payload) { return host_.result_of(payload); }
  TempDir desktop_;
  HostProcess host_{{"--desktop", desktop_.path(), "--card-port", "0"}};
};

TEST_F(ScoringPath, WorkedExamples) {
  struct Case {
    const char *official, *cuts, *contestant, *score;
  } cases[] = {
      {"1234", "253", "1234", "50"}, {"1234", "253", "2134", "48"}, {"1234", "253", "1324", "45"},
      {"1234", "253", "1243", "47"}, {"1234", "253", "2143", "45"}, {"1234", "253", "4321", "15"},
      {"3142", "412", "1342", "46"}, {"4123", "321", "1234", "36"}, {"1234", "999", "4321", "0"},
  };
  int class_id = 0;
  for (const Case& c : cases) {
    std::string name = "Class " + std::to_string(++class_id);
    ASSERT_EQ(call("save_class:" + fields({"none", "1", name, c.official, c.cuts})), "");
    ASSERT_EQ(call("save_placing:" + fields({"none", std::to_string(class_id), "1011",
                                              c.contestant, "40"})),
              "");
  }
  std::vector<std::string> scores = split_listing(call("fetch_indiv_scores:"));
  ASSERT_EQ(scores.size(), 8u * class_id);
  for (int row = 0; row < class_id; ++row) {
    const Case& c = cases[row];
    EXPECT_EQ(scores[row * 8 + 3], std::to_string(row + 1));
    EXPECT_EQ(scores[row * 8 + 4], c.contestant);
    EXPECT_EQ(scores[row * 8 + 5], c.score) << c.official << " " << c.cuts << " " << c.contestant;
    EXPECT_EQ(scores[row * 8 + 7], std::to_string(std::stoi(c.score) + 40));
  }
}

TEST_F(ScoringPath, PlacingSavedRightAfterAFetchIsScoredEveryTime) {
  ASSERT_EQ(call("call_save_contestant:" + fields({"none", "1010", "Bob"})), "");
  for (int i = 1; i <= 6; ++i) {
    std::string name = "Class " + std::to_string(i);
    ASSERT_EQ(call("save_class:" + fields({"none", "1", name, "1234", "253"})), "");
    call("fetch_indiv_scores:");
    ASSERT_EQ(call("save_placing:" + fields({"none", std::to_string(i), "1011", "2134"})), "");
    std::vector<std::string> scores = split_listing(call("fetch_indiv_scores:"));
    ASSERT_EQ(scores.size(), 8u * i);
    for (int row = 0; row < i; ++row) EXPECT_EQ(scores[row * 8 + 5], "48") << "round " << i;
  }
}

}  // namespace
