// The contest folder turned read-only, or the disk filling up, while the
// organiser saves or the scores are brought up to date: a clear "ERROR:"
// text, nothing half-written, nothing shown as a result that was not stored,
// and the next command works.
//
// These tests mount a small tmpfs as the desktop, so they need root (as in
// CI); elsewhere they skip with a message.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>

#include "scoring/rankings.h"
#include "scoring/scoring_pass.h"
#include "scoring/test_contest.h"
#include "store/contest.h"
#include "store/database.h"
#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

const char kWriteErrorReply[] =
    "ERROR:The contest file could not be written. Check that the disk has free space and "
    "that the contest folder can be written to.";

class SmallDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    mount_point_ = folder_.path() + "/desktop";
    fs::create_directory(mount_point_);
    if (geteuid() != 0 ||
        mount("tmpfs", mount_point_.c_str(), "tmpfs", 0, "size=1m,mode=0755") != 0)
      GTEST_SKIP() << "needs root to mount a small tmpfs";
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) umount2(mount_point_.c_str(), MNT_DETACH);
  }
  void remount(unsigned long flags) {
    ASSERT_EQ(mount("tmpfs", mount_point_.c_str(), "tmpfs", MS_REMOUNT | flags, "size=1m"), 0);
  }
  // Fills the disk to the last byte.
  void fill_disk() {
    int fd = open((mount_point_ + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    char block[4096] = {};
    while (write(fd, block, sizeof block) > 0) {
    }
    while (write(fd, block, 1) > 0) {
    }
    close(fd);
  }
  void free_disk() { fs::remove(mount_point_ + "/filler"); }
  std::string folder() const { return mount_point_; }

 private:
  TempDir folder_;
  std::string mount_point_;
  bool mounted_ = false;
};

TEST_F(SmallDisk, ReadOnlyDesktopRefusesANewContest) {
  remount(MS_RDONLY);
  HostProcess host({"--desktop", folder(), "--card-port", "0"});
  EXPECT_EQ(host.call("1:create_contest:Show"), "1:ERROR:The contest folder could not be created.");
  EXPECT_FALSE(fs::exists(folder() + "/Show"));
}

// Files already open stay writable when their folder turns read-only, so the
// read-only folder bites when the contest is opened again: it must say so
// plainly, and the data written before must still be there.
TEST_F(SmallDisk, ContestInAReadOnlyFolderSaysItCannotBeWritten) {
  std::string db = folder() + "/Show/contest.db";
  {
    HostProcess host({"--desktop", folder(), "--card-port", "0"});
    ASSERT_EQ(host.call("1:create_contest:Show"), "1:");
    ASSERT_EQ(host.call(std::string("2:save_division:") + fields({"none", "Junior", "3"})), "2:");
    host.close_input();
    ASSERT_EQ(host.wait(), 0);
  }
  remount(MS_RDONLY);
  {
    HostProcess host({"--desktop", folder(), "--open-file", db, "--card-port", "0"});
    EXPECT_EQ(host.call("1:open_contest:"),
              "1:ERROR:The contest file cannot be written. Check that the contest folder and its "
              "file can be written to.");
    EXPECT_EQ(host.call("2:fetch_divisions:"), "2:ERROR:A contest is not open.");
    host.close_input();
    EXPECT_EQ(host.wait(), 0);
  }
  remount(0);
  HostProcess host({"--desktop", folder(), "--open-file", db, "--card-port", "0"});
  ASSERT_EQ(host.call("1:open_contest:"), "1:Show");
  EXPECT_EQ(host.call("2:fetch_divisions:"), "2:" + fields({"1", "Junior", "3", "1000"}));
}

TEST_F(SmallDisk, FullDiskGivesAClearErrorAndLosesNothingAcknowledged) {
  std::string db = folder() + "/Show/contest.db";
  std::vector<std::string> saved;
  {
    HostProcess host({"--desktop", folder(), "--card-port", "0"});
    ASSERT_EQ(host.call("1:create_contest:Show"), "1:");
    ASSERT_EQ(host.call(std::string("2:save_class_type:") + fields({"none", "Cattle"})), "2:");
    fill_disk();
    // Keep saving until the disk refuses; every save answers either success
    // or the clear error, never anything else.
    std::string long_name(2000, 'x');
    bool refused = false;
    for (int i = 0; i < 2000 && !refused; ++i) {
      std::string name = "Class " + std::to_string(i) + " " + long_name;
      std::string reply = host.call(std::to_string(10 + i) + ":save_class:" +
                                    fields({"none", "1", name, "1234", "253"}));
      if (reply == std::to_string(10 + i) + ":") {
        saved.push_back(name);
      } else {
        EXPECT_EQ(reply, std::to_string(10 + i) + ":" + kWriteErrorReply);
        refused = true;
      }
    }
    EXPECT_TRUE(refused) << "the disk never filled";
    host.signal(SIGTERM);
    EXPECT_EQ(host.wait(), 0);
  }
  fs::remove(folder() + "/filler");
  HostProcess host({"--desktop", folder(), "--open-file", db, "--card-port", "0"});
  ASSERT_EQ(host.call("1:open_contest:"), "1:Show");
  std::string classes = host.call("2:fetch_classes:");
  for (const std::string& name : saved) EXPECT_NE(classes.find(name), std::string::npos);
  EXPECT_EQ(host.call(std::string("3:save_class:") + fields({"none", "1", "After", "1234", "253"})),
            "3:");
}

// A contest ready to score: two contestants of one team placed two classes
// with official results; nothing scored yet.
void set_up_unscored_contest(HostProcess& host) {
  const std::vector<std::string> setup = {
      "save_division:" + fields({"none", "Senior", "2"}),
      "save_team:" + fields({"none", "1000", "Alpha", "Team", "Coach"}),
      "call_save_contestant:" + fields({"none", "1010", "Ann"}),
      "call_save_contestant:" + fields({"none", "1010", "Ben"}),
      "save_class_type:" + fields({"none", "Beef"}),
      "save_class:" + fields({"none", "1", "B1", "1234", "253"}),
      "save_class:" + fields({"none", "1", "B2", "1234", "253"}),
      "save_placing:" + fields({"none", "1", "1011", "1234", "40"}),
      "save_placing:" + fields({"none", "1", "1012", "2134", "30"}),
      "save_placing:" + fields({"none", "2", "1011", "1243", "35"}),
      "save_placing:" + fields({"none", "2", "1012", "1234", "45"}),
  };
  for (const std::string& payload : setup) ASSERT_EQ(host.result_of(payload), "") << payload;
}

// Scores the pass could not store must never be shown, or ranked, as if they
// were results; once there is room again the same commands answer in full.
TEST_F(SmallDisk, ScoresThatCannotBeStoredAnswerTheWriteError) {
  std::string db = folder() + "/Show/contest.db";
  {
    HostProcess host({"--desktop", folder(), "--card-port", "0"});
    ASSERT_EQ(host.result_of("create_contest:Show"), "");
    set_up_unscored_contest(host);
    fill_disk();
    for (const char* fetch :
         {"fetch_indiv_scores:", "fetch_indiv_rankings:", "fetch_team_rankings:"})
      EXPECT_EQ(host.result_of(fetch), kWriteErrorReply) << fetch;
    // The failed commit left nothing open: reads answer as ever.
    EXPECT_EQ(host.result_of("fetch_class_types:"), fields({"1", "Beef"}));

    free_disk();
    EXPECT_EQ(host.result_of("fetch_indiv_scores:"),
              fields({"Ann", "1011", "B1", "1", "1234", "50", "40", "90",  //
                      "Ann", "1011", "B2", "2", "1243", "47", "35", "82",  //
                      "Ben", "1012", "B1", "1", "2134", "48", "30", "78",  //
                      "Ben", "1012", "B2", "2", "1234", "50", "45", "95"}));
    EXPECT_EQ(host.result_of("fetch_team_rankings:"),
              fields({"Senior", "Reasons", "1", "150", "Alpha", "Coach",  //
                      "Senior", "Overall", "1", "345", "Alpha", "Coach"}));
    // A change made now reaches the file, rather than joining a transaction
    // the failed commit left open.
    EXPECT_EQ(host.result_of("save_class_type:" + fields({"none", "Swine"})), "");
    host.close_input();
    ASSERT_EQ(host.wait(), 0);
  }
  EXPECT_EQ(check_integrity(db), "ok");
  HostProcess host({"--desktop", folder(), "--open-file", db, "--card-port", "0"});
  ASSERT_EQ(host.result_of("open_contest:"), "Show");
  EXPECT_EQ(host.result_of("fetch_class_types:"), fields({"1", "Beef", "2", "Swine"}));
}

// The pass itself, in this process, to see what it leaves in the file.
class SmallDiskContest : public SmallDisk {
 protected:
  void SetUp() override {
    SmallDisk::SetUp();
    if (IsSkipped()) return;
    std::string desktop = folder();
    set_contest_platform({[desktop] { return desktop; }, [](const std::string&) { return ""; }});
    ASSERT_EQ(create_contest("Show"), "");
  }
  void TearDown() override {
    close_database();
    SmallDisk::TearDown();
  }
};

std::string scored_at() { return query_text("SELECT scored_at FROM contest;"); }

TEST_F(SmallDiskContest, FailedCommitOfThePassMarksNothingAndLeavesNothingOpen) {
  using namespace test_contest;
  const int team = add_team(add_division("Senior", 2), "Alpha", "Team", "Coach");
  const int ann = add_contestant(team, "Ann");
  const int cls = add_class(add_class_type("Beef"), "B1", 1234, 253);
  const int placing = add_placing(cls, ann, 2134, 30);
  const std::string before = scored_at();
  const std::string score_sql =
      "SELECT placing_score FROM placings WHERE id = " + std::to_string(placing) + ";";
  fill_disk();

  try {
    run_scoring_pass();
    ADD_FAILURE() << "the pass stored its scores on a full disk";
  } catch (const DatabaseFailure& failure) {
    EXPECT_EQ(failure.kind(), DatabaseFailure::Kind::kNotWritten) << failure.what();
  }
  EXPECT_EQ(scored_at(), before);
  EXPECT_EQ(query_text(score_sql), "");
  EXPECT_NO_THROW(Transaction());  // no transaction was left open
  EXPECT_EQ(fetch_indiv_scores(""), kWriteErrorReply);
  EXPECT_EQ(fetch_indiv_rankings(""), kWriteErrorReply);
  EXPECT_EQ(scored_at(), before);

  free_disk();
  EXPECT_EQ(split_listing(fetch_indiv_scores("")).at(5), "48");
  EXPECT_GT(scored_at(), before);
  // What the pass stored is in the file, not only in this connection.
  close_database();
  ASSERT_TRUE(open_database(folder() + "/Show/contest.db"));
  EXPECT_EQ(query_text(score_sql), "48");
}

}  // namespace
