// The contest folder turned read-only, or the disk filling up, while the
// organiser saves: a clear "ERROR:" text, and nothing half-written.
//
// These tests mount a small tmpfs as the desktop, so they need root (as in
// CI); elsewhere they skip with a message.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>

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

}  // namespace
