#include "scoring/class_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "scoring/placing_score.h"
#include "scoring/test_contest.h"
#include "store/database.h"
#include "tests/test_support.h"

namespace {

using namespace test_contest;

struct Official {
  int placing, cuts;
};

const Official kOfficials[] = {{1234, 253}, {3142, 412}, {4123, 321}, {2413, 111},
                               {1234, 999}, {4321, 0},   {1324, 555}};

TEST(ClassKey, ScoresEveryOrderOnceWithTheScoringFunction) {
  for (const Official& o : kOfficials) {
    SCOPED_TRACE(std::to_string(o.placing) + " / " + std::to_string(o.cuts));
    const std::vector<ClassKeyRow> key = class_key(o.placing, o.cuts);
    ASSERT_EQ(key.size(), 24u);
    std::set<int> placings;
    for (const ClassKeyRow& row : key) {
      std::string digits = std::to_string(row.placing);
      std::sort(digits.begin(), digits.end());
      EXPECT_EQ(digits, "1234") << row.placing;
      placings.insert(row.placing);
      EXPECT_EQ(row.score, score_placing(row.placing, o.placing, o.cuts)) << row.placing;
    }
    EXPECT_EQ(placings.size(), 24u);
    for (size_t i = 1; i < key.size(); ++i) {
      const bool ordered = key[i - 1].score > key[i].score ||
                           (key[i - 1].score == key[i].score && key[i - 1].placing < key[i].placing);
      EXPECT_TRUE(ordered) << "rows " << i - 1 << " and " << i;
    }
    EXPECT_EQ(key.front().score, 50);
    // With every cut above 0 only the official placing itself scores 50.
    if (o.cuts % 10 && o.cuts / 10 % 10 && o.cuts / 100) {
      EXPECT_EQ(key.front().placing, o.placing);
      EXPECT_LT(key[1].score, 50);
    }
  }
}

TEST(ClassKey, WithoutCutsEveryPlacingScoresFiftyInPlacingOrder) {
  const std::vector<ClassKeyRow> key = class_key(4321, 0);
  EXPECT_EQ(key.front().placing, 1234);
  EXPECT_EQ(key.back().placing, 4321);
  for (const ClassKeyRow& row : key) EXPECT_EQ(row.score, 50) << row.placing;
}

TEST(ClassKey, WorkedKeyStartsWithTheOfficialAndBreaksTiesByPlacing) {
  // 1234 / 253: one pair wrong costs 2 (1-2), 3 (3-4) or 5 (2-3).
  const std::vector<ClassKeyRow> key = class_key(1234, 253);
  const std::vector<std::pair<int, int>> head = {{1234, 50}, {2134, 48}, {1243, 47},
                                                 {1324, 45}, {2143, 45}};
  for (size_t i = 0; i < head.size(); ++i) {
    EXPECT_EQ(key[i].placing, head[i].first) << i;
    EXPECT_EQ(key[i].score, head[i].second) << i;
  }
  EXPECT_EQ(key.back().placing, 4321);
  EXPECT_EQ(key.back().score, 15);
}

class ClassKeyCommand : public ::testing::Test {
 protected:
  OpenContest contest;
  int id_count = 0;
};

TEST_F(ClassKeyCommand, AnswersTheKeyAsPlacingAndScoreRows) {
  const int type = add_class_type("Beef");
  for (const Official& o : kOfficials) {
    const int id = add_class(type, "C" + std::to_string(id_count++), o.placing, o.cuts);
    std::vector<std::string> expected;
    for (const ClassKeyRow& row : class_key(o.placing, o.cuts)) {
      expected.push_back(std::to_string(row.placing));
      expected.push_back(std::to_string(row.score));
    }
    EXPECT_EQ(fetch_class_key(std::to_string(id)), fields(expected)) << id;
  }
}

TEST_F(ClassKeyCommand, RefusesBadNumbersUnknownClassesAndClassesWithoutAResult) {
  const int type = add_class_type("Sheep");
  const int scored = add_class(type, "Scored", 1234, 253);
  const int bare = add_class(type, "Bare", std::nullopt, std::nullopt);
  const int no_cuts = add_class(type, "No cuts", 2143, std::nullopt);
  const int no_placing = add_class(type, "No placing", std::nullopt, 253);
  const std::string snapshot = query_text("SELECT group_concat(timestamp) FROM classes;");
  const struct {
    std::string argument, answer;
  } cases[] = {
      {"", "ERROR:This is not a valid class number."},
      {"abc", "ERROR:This is not a valid class number."},
      {"-1", "ERROR:This is not a valid class number."},
      {"+1", "ERROR:This is not a valid class number."},
      {" 1", "ERROR:This is not a valid class number."},
      {"1.0", "ERROR:This is not a valid class number."},
      {std::to_string(scored) + "\x1f" "2", "ERROR:This is not a valid class number."},
      {std::string(300, '9'), "ERROR:This is not a valid class number."},
      {"0", "ERROR:There is no class with this number."},
      {"999999999", "ERROR:There is no class with this number."},
      {std::to_string(bare), "ERROR:This class has no official placing and cuts."},
      {std::to_string(no_cuts), "ERROR:This class has no official placing and cuts."},
      {std::to_string(no_placing), "ERROR:This class has no official placing and cuts."},
  };
  for (const auto& c : cases) EXPECT_EQ(fetch_class_key(c.argument), c.answer) << c.argument;
  EXPECT_EQ(split_listing(fetch_class_key(std::to_string(scored))).size(), 48u);
  EXPECT_EQ(query_text("SELECT group_concat(timestamp) FROM classes;"), snapshot);
}

TEST(ClassKeyWithoutContest, RaisesDatabaseNotOpen) {
  EXPECT_THROW(fetch_class_key("1"), DatabaseNotOpen);
}

}  // namespace
