// Shared test fixtures: temporary folders, an open contest, and a
// ringtally-host child process talking over its streams.
#pragma once
#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "app/bridge.h"

// A fresh folder under the system's temp folder, removed with everything in
// it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Creates a contest named "Test" in a temporary desktop and leaves it open
// for the test; closes it again afterwards.
class OpenContest {
 public:
  OpenContest();
  ~OpenContest();
  const std::string& folder() const { return folder_; }

 private:
  TempDir desktop_;
  std::string folder_;
};

// Runs `sql` (one statement) on the open contest; fails the test on error.
void exec_sql(const std::string& sql);
// The first column of the first row of `sql`, as text ("" for none/NULL).
std::string query_text(const std::string& sql);

// "a", "b" -> "a", kFieldSeparator, "b".
std::string fields(const std::vector<std::string>& parts);
// A listing cut at every U+001F as the page cuts it: empty trailing fields
// are kept (split_fields would drop the last one); "" gives no fields.
std::vector<std::string> split_listing(const std::string& listing);

// ringtally-host as a child process.
class HostProcess {
 public:
  explicit HostProcess(const std::vector<std::string>& args);
  ~HostProcess();  // kills the child if it still runs
  // Sends one message as a JSON string line.
  void send(const std::string& message);
  void send_raw(const std::string& bytes);
  // The next reply, decoded; "" with `ok` false after `timeout_ms` or EOF.
  std::string receive(int timeout_ms = 10000, bool* ok = nullptr);
  // send + receive.
  std::string call(const std::string& message);
  // Sends "payload" under a fresh reply id, checks the reply carries that id,
  // and returns the result alone.
  std::string result_of(const std::string& payload);
  void close_input();
  void signal(int sig);
  // Waits for the exit; returns the exit code, or -1 on a signal or timeout.
  int wait(int timeout_ms = 15000);
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  std::string buffer_;
  int next_id_ = 0;
};

// Polls GET /health on 127.0.0.1:`port` until a card server answers; false
// after about five seconds without one.
bool wait_for_card_server(int port);

// A TCP connection to 127.0.0.1:`port` whose own end is bound to `source`
// (any address of 127.0.0.0/8), so the server sees it as that phone; -1
// when it cannot be made.
int connect_from(const std::string& source, int port);

// Sends `request` whole on `sock`, then reads until the server closes the
// connection or `timeout_ms` pass; what arrived. Closes nothing.
std::string send_and_read(int sock, const std::string& request, int timeout_ms = 15000);

// The status code of a raw HTTP answer ("HTTP/1.1 403 ..."), 0 when none.
int status_of(const std::string& answer);
// The body of a raw HTTP answer (after the blank line).
std::string body_of(const std::string& answer);

// VmRSS of process `pid` in KiB, 0 when it cannot be read.
long resident_kib(pid_t pid);

// Page replies as the worker hands them over, for tests that run a worker.
class CollectingSink : public ReplySink {
 public:
  void deliver_reply(std::string reply) override;
  // The replies once `count` have arrived, or those there are after 5 s.
  std::vector<std::string> wait_for(size_t count);
  // True once `reply` has arrived; false after 30 s without it.
  bool wait_for(const std::string& reply);
  std::vector<std::string> replies;  // guarded by `mutex`

 private:
  std::mutex mutex_;
  std::condition_variable cond_;
};

// The built ringtally-host (from the RINGTALLY_HOST environment variable).
std::string host_binary();
