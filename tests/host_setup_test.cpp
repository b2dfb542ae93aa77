// A contest set up end to end through ringtally-host, with the arguments the
// setup and placings pages send.
#include <gtest/gtest.h>

#include <string>

#include "tests/test_support.h"

namespace {

const char kRefused[] = "ERROR:A data consistency check prevented this action.";
const char kBadNumber[] = "ERROR:A number in this request is not valid.";

class HostSetupTest : public ::testing::Test {
 protected:
  std::string ask(const std::string& command, const std::string& argument = "") {
    return host.result_of(command + ":" + argument);
  }
  TempDir desktop;
  HostProcess host{{"--desktop", desktop.path(), "--card-port", "0"}};
};

TEST_F(HostSetupTest, AContestIsSetUpAndItsPlacingsKept) {
  ASSERT_EQ(ask("create_contest", "Spring Show"), "");
  for (const char* fetch : {"fetch_divisions", "fetch_teams", "fetch_contestants",
                            "fetch_contestant_counts", "fetch_class_types", "fetch_classes",
                            "fetch_placings", "fetch_placing_counts"})
    EXPECT_EQ(ask(fetch), "") << fetch;

  EXPECT_EQ(ask("save_division", fields({"none", "Junior", "3"})), "");
  EXPECT_EQ(ask("save_division", fields({"none", "Open", ""})), "");
  EXPECT_EQ(ask("fetch_divisions"), fields({"1", "Junior", "3", "1000", "2", "Open", "", "2000"}));

  EXPECT_EQ(ask("save_team", fields({"none", "1000", "Red", "Team", "Kim Lee"})), "");
  EXPECT_EQ(ask("save_team", fields({"none", "2000", "Solo", "Indiv", ""})), "");
  EXPECT_EQ(ask("save_team", fields({"none", "2000", "Blue", "Team", ""})), kRefused);
  EXPECT_EQ(ask("fetch_teams"), fields({"2", "Open", "Solo", "Indiv", "", "2010",  //
                                        "1", "Junior", "Red", "Team", "Kim Lee", "1010"}));

  for (const char* name : {"Ann", "Bo", "Cy"})
    EXPECT_EQ(ask("call_save_contestant", fields({"none", "1010", name})), "");
  EXPECT_EQ(ask("call_save_contestant", fields({"none", "2010", "Di: the one"})), "");
  EXPECT_EQ(ask("call_save_contestant", fields({"none", "2010", "Ann"})), kRefused);
  EXPECT_EQ(ask("fetch_contestants"), fields({"Open", "Solo", "Di: the one", "2011",  //
                                              "Junior", "Red", "Cy", "1013",       //
                                              "Junior", "Red", "Bo", "1012",       //
                                              "Junior", "Red", "Ann", "1011"}));
  EXPECT_EQ(ask("fetch_contestant_counts"), fields({"Open", "Solo", "1", "Junior", "Red", "3"}));

  EXPECT_EQ(ask("save_class_type", fields({"none", "Cattle"})), "");
  EXPECT_EQ(ask("fetch_class_types"), fields({"1", "Cattle"}));
  EXPECT_EQ(ask("save_class", fields({"none", "1", "Heifers", "1234", "253"})), "");
  EXPECT_EQ(ask("save_class", fields({"none", "1", "Steers", "", ""})), "");
  EXPECT_EQ(ask("save_class", fields({"none", "1", "Bulls", "", "253"})),
            "ERROR:Enter the official placing together with the cuts.");
  EXPECT_EQ(ask("save_class", fields({"none", "1", "Calves", "1234", ""})),
            "ERROR:Enter the cuts together with the official placing.");
  EXPECT_EQ(ask("fetch_classes"),
            fields({"1", "Cattle", "Heifers", "1234", "253", "2", "Cattle", "Steers", "", ""}));

  EXPECT_EQ(ask("save_placing", fields({"none", "1", "1011", "4321", ""})), "");
  EXPECT_EQ(ask("save_placing", fields({"none", "1", "1012", "1234", "44"})), "");
  EXPECT_EQ(ask("save_placing", fields({"none", "1", "1011", "", "38"})), "");
  EXPECT_EQ(ask("save_placing", fields({"none", "1", "1011", "1243", ""})), kRefused);
  EXPECT_EQ(ask("save_placing", fields({"none", "2", "1013", "", "38"})), kRefused);
  // Newest write first: the reasons made placing 1 newer unless both fall
  // within one second, when the higher id leads.
  std::string placings = ask("fetch_placings");
  std::string first = fields({"1", "1", "1011", "4321", "38"});
  std::string second = fields({"2", "1", "1012", "1234", "44"});
  EXPECT_TRUE(placings == fields({first, second}) || placings == fields({second, first}))
      << placings;
  EXPECT_EQ(ask("fetch_placing_counts"), fields({"1013", "0", "0", "2011", "0", "0",  //
                                                 "1011", "1", "1", "1012", "1", "1"}));

  // What others depend on cannot go; a placing can.
  EXPECT_EQ(ask("delete_division", "1000"), kRefused);
  EXPECT_EQ(ask("delete_team", "1010"), kRefused);
  EXPECT_EQ(ask("delete_contestant", "1011"), kRefused);
  EXPECT_EQ(ask("delete_class_type", "1"), kRefused);
  EXPECT_EQ(ask("delete_class", "1"), kRefused);
  EXPECT_EQ(ask("delete_placing", "none"), "");
  EXPECT_EQ(ask("delete_placing", "1"), "");
  EXPECT_EQ(ask("fetch_placings"), fields({"2", "1", "1012", "1234", "44"}));

  host.close_input();
  EXPECT_EQ(host.wait(), 0);
}

TEST_F(HostSetupTest, TheTwelfthContestantIsTheLast) {
  ASSERT_EQ(ask("create_contest", "Limits"), "");
  ASSERT_EQ(ask("save_division", fields({"none", "Junior", ""})), "");
  ASSERT_EQ(ask("save_team", fields({"none", "1000", "Red", "Indiv", ""})), "");
  ASSERT_EQ(ask("save_team", fields({"none", "1000", "Gold", "Indiv", ""})), "");
  for (int i = 1; i <= 9; ++i)
    ASSERT_EQ(ask("call_save_contestant", fields({"none", "1010", "R" + std::to_string(i)})), "");
  // The tenth in a team is refused by the team's own limit.
  EXPECT_EQ(ask("call_save_contestant", fields({"none", "1010", "R10"})), kRefused);
  for (int i = 1; i <= 3; ++i)
    ASSERT_EQ(ask("call_save_contestant", fields({"none", "1020", "G" + std::to_string(i)})), "");
  const char kLimit[] = "ERROR:The contestant limit has been reached.";
  EXPECT_EQ(ask("call_save_contestant", fields({"none", "1020", "G4"})), kLimit);
  EXPECT_EQ(ask("call_save_contestant", fields({"1011", "1010", "Renamed"})), kLimit);
  EXPECT_EQ(ask("delete_contestant", "1023"), "");
  EXPECT_EQ(ask("call_save_contestant", fields({"1011", "1010", "Renamed"})), "");
  EXPECT_EQ(ask("fetch_contestant_counts"), fields({"Junior", "Gold", "2", "Junior", "Red", "9"}));
}

TEST_F(HostSetupTest, MalformedArgumentsAreAnsweredAndChangeNothing) {
  ASSERT_EQ(ask("create_contest", "Typos"), "");
  ASSERT_EQ(ask("save_division", fields({"none", "Junior", "3"})), "");
  ASSERT_EQ(ask("save_team", fields({"none", "1000", "Red", "Indiv"})), "");
  ASSERT_EQ(ask("save_class_type", fields({"none", "Cattle"})), "");
  std::string huge(300, '7');
  const struct {
    const char* command;
    std::string argument;
  } cases[] = {
      {"save_division", ""},
      {"save_division", fields({"none", "Senior", "three"})},
      {"save_division", fields({huge, "Senior"})},
      {"delete_division", "Junior"},
      {"save_team", fields({"none", "Junior", "Blue", "Indiv"})},
      {"save_team", fields({"none", "1000", "Blue"})},
      {"delete_team", huge},
      {"call_save_contestant", fields({"none", "1010"})},
      {"call_save_contestant", fields({"none", "Red", "Ann"})},
      {"delete_contestant", "x"},
      {"save_class_type", "none"},
      {"save_class_type", fields({huge, "Swine"})},
      {"delete_class_type", ""},
      {"save_class", fields({"none", "Cattle", "Heifers"})},
      {"save_class", fields({"none", "1", "Heifers", "12x34", huge})},
      {"delete_class", "-"},
      {"save_placing", fields({"none", "1", "1011"})},
      {"save_placing", fields({"none", "1", "1011", huge})},
      {"save_placing", fields({"none", "1", "1011", "", "fifty"})},
      {"delete_placing", huge},
  };
  for (const auto& c : cases) EXPECT_EQ(ask(c.command, c.argument), kBadNumber) << c.command;
  // The host still answers, and nothing was written.
  EXPECT_EQ(ask("fetch_divisions"), fields({"1", "Junior", "3", "1000"}));
  EXPECT_EQ(ask("fetch_teams"), fields({"1", "Junior", "Red", "Indiv", "", "1010"}));
  EXPECT_EQ(ask("fetch_contestants"), "");
  EXPECT_EQ(ask("fetch_class_types"), fields({"1", "Cattle"}));
  EXPECT_EQ(ask("fetch_classes"), "");
  EXPECT_EQ(ask("fetch_placings"), "");
}

TEST_F(HostSetupTest, StoreCommandsWithoutAContestAreAnswered) {
  EXPECT_EQ(ask("fetch_divisions"), "ERROR:A contest is not open.");
  EXPECT_EQ(ask("call_save_contestant", fields({"none", "1010", "Ann"})),
            "ERROR:A contest is not open.");
  EXPECT_EQ(ask("delete_class", "none"), "");
  EXPECT_EQ(ask("create_contest", "Late"), "");
  EXPECT_EQ(ask("fetch_divisions"), "");
}

}  // namespace
