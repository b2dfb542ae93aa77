// ringtally-host end to end, through its standard streams.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

TEST(Host, CreatesAContestAndAnswersEveryMessage) {
  TempDir desktop;
  HostProcess host({"--desktop", desktop.path(), "--card-port", "0"});
  EXPECT_EQ(host.call("1:create_contest:Spring Show"), "1:");
  EXPECT_TRUE(fs::is_regular_file(desktop.path() + "/Spring Show/contest.db"));
  EXPECT_EQ(host.call("5:no_such_command:x"), "5:ERROR:Unknown function.");
  EXPECT_EQ(host.call("hello"), "hello:ERROR:Unknown function.");
  EXPECT_EQ(host.call("2:create_contest:Spring Show"),
            "2:ERROR:This contest already exists on your desktop.");
  EXPECT_EQ(host.call("3:create_contest:../escape"), "3:ERROR:This is not a valid contest name.");
  host.close_input();
  EXPECT_EQ(host.wait(), 0);
}

TEST(Host, StoreCommandWithoutContestGetsAnError) {
  TempDir desktop;
  HostProcess host({"--desktop", desktop.path(), "--card-port", "0"});
  std::string reply = host.call("1:fetch_divisions:");
  EXPECT_EQ(reply.rfind("1:ERROR:", 0), 0u) << reply;
  // The host keeps answering.
  EXPECT_EQ(host.call("2:x"), "2:ERROR:Unknown function.");
}

TEST(Host, RepliesKeepTheOrderOfABurst) {
  TempDir desktop;
  HostProcess host({"--desktop", desktop.path(), "--card-port", "0"});
  std::string burst;
  for (int i = 1; i <= 200; ++i) burst += "\"" + std::to_string(i) + ":nope:\"\n";
  host.send_raw(burst);
  for (int i = 1; i <= 200; ++i)
    ASSERT_EQ(host.receive(), std::to_string(i) + ":ERROR:Unknown function.");
}

TEST(Host, OddInputIsSkippedAndTextSurvivesTheRoundTrip) {
  TempDir desktop;
  HostProcess host({"--desktop", desktop.path(), "--card-port", "0"});
  host.send_raw("not json\n\n\"unterminated\n");
  // Markup, quotes, separators, non-ASCII and a lone surrogate in one name.
  host.send_raw("\"1:create_contest:<b>\\\"Q\\\"</b> \\u00e9 \\ud800\"\n");
  std::string reply = host.receive();
  EXPECT_EQ(reply, "1:");
  EXPECT_TRUE(fs::is_directory(desktop.path() + "/<b>\"Q\"</b> \xC3\xA9 \xEF\xBF\xBD"));
}

TEST(Host, OpenFileOptionAnswersTheDialog) {
  TempDir desktop;
  {
    HostProcess host({"--desktop", desktop.path(), "--card-port", "0"});
    EXPECT_EQ(host.call("1:open_contest:"), "1:None");
    EXPECT_EQ(host.call("2:create_contest:Fair"), "2:");
    host.close_input();
    EXPECT_EQ(host.wait(), 0);
  }
  std::string db = desktop.path() + "/Fair/contest.db";
  HostProcess host({"--desktop", desktop.path(), "--open-file", db, "--card-port", "0"});
  EXPECT_EQ(host.call("1:open_contest:anything"), "1:Fair");
  EXPECT_EQ(host.call("2:open_contest:"),
            "2:ERROR:Critical failure, the database could not be opened.");
}

TEST(Host, NotAContestFileIsClosedAgain) {
  TempDir desktop;
  std::string junk = desktop.path() + "/junk.db";
  FILE* f = fopen(junk.c_str(), "w");
  fputs("this is not a database, just some text that is long enough to look like a header\n", f);
  fclose(f);
  HostProcess host({"--desktop", desktop.path(), "--open-file", junk, "--card-port", "0"});
  std::string reply = host.call("1:open_contest:");
  EXPECT_EQ(reply.rfind("1:ERROR:", 0), 0u) << reply;
  EXPECT_EQ(host.call("2:create_contest:After"), "2:");
}

TEST(Host, SignalsShutDownInOrder) {
  for (int sig : {SIGTERM, SIGINT}) {
    TempDir desktop;
    HostProcess host({"--desktop", desktop.path(), "--card-port", "0"});
    EXPECT_EQ(host.call("1:create_contest:Sig"), "1:");
    EXPECT_TRUE(fs::exists(desktop.path() + "/Sig/contest.db-wal"));
    host.signal(sig);
    EXPECT_EQ(host.wait(), 0);
    // Closing the connection folds the journal back into the file.
    EXPECT_FALSE(fs::exists(desktop.path() + "/Sig/contest.db-wal"));
  }
}

TEST(Host, BadOptionsAreRefused) {
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"--card-port", "x"}, {"--card-port", "70000"}, {"--bogus", "1"}, {"--desktop"}}) {
    HostProcess host(args);
    EXPECT_EQ(host.wait(), 2);
  }
}

}  // namespace
