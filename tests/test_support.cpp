#include "tests/test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/text.h"
#include "store/contest.h"
#include "store/database.h"

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "ringtally-test-XXXXXX").string();
  path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  EXPECT_FALSE(path_.empty());
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

OpenContest::OpenContest() {
  std::string desktop = desktop_.path();
  set_contest_platform({[desktop] { return desktop; }, [](const std::string&) { return ""; }});
  EXPECT_EQ(create_contest("Test"), "");
  folder_ = desktop + "/Test";
}

OpenContest::~OpenContest() { close_database(); }

void exec_sql(const std::string& sql) {
  Statement statement(sql.c_str());
  try {
    statement.step();
  } catch (const DatabaseFailure& failure) {
    ADD_FAILURE() << sql << ": " << failure.what();
  }
}

std::string query_text(const std::string& sql) {
  Statement statement(sql.c_str());
  return statement.step() ? statement.column_text(0) : std::string();
}

std::string fields(const std::vector<std::string>& parts) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += kFieldSeparator;
    out += parts[i];
  }
  return out;
}

std::vector<std::string> split_listing(const std::string& listing) {
  std::vector<std::string> out;
  if (listing.empty()) return out;
  size_t start = 0;
  for (;;) {
    size_t end = listing.find(kFieldSeparator, start);
    out.push_back(listing.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return out;
    start = end + 1;
  }
}

bool wait_for_card_server(int port) {
  httplib::Client http("127.0.0.1", port);
  http.set_connection_timeout(1);
  for (int i = 0; i < 200; ++i) {
    if (auto res = http.Get("/health"); res && res->status == 200) return true;
    usleep(25000);
  }
  return false;
}

int connect_from(const std::string& source, int port) {
  int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (sock < 0) return -1;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, source.c_str(), &local.sin_addr);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
  if (bind(sock, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      connect(sock, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
    close(sock);
    return -1;
  }
  return sock;
}

std::string send_and_read(int sock, const std::string& request, int timeout_ms) {
  size_t sent = 0;
  while (sent < request.size()) {
    ssize_t n = send(sock, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;  // the server may refuse before it has read everything
    sent += static_cast<size_t>(n);
  }
  std::string answer;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  char chunk[4096];
  while (std::chrono::steady_clock::now() < until) {
    pollfd fd = {sock, POLLIN, 0};
    if (poll(&fd, 1, 50) <= 0) continue;
    ssize_t n = recv(sock, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    answer.append(chunk, static_cast<size_t>(n));
  }
  return answer;
}

int status_of(const std::string& answer) {
  if (answer.compare(0, 9, "HTTP/1.1 ") != 0 || answer.size() < 12) return 0;
  return std::atoi(answer.substr(9, 3).c_str());
}

std::string body_of(const std::string& answer) {
  size_t blank = answer.find("\r\n\r\n");
  return blank == std::string::npos ? std::string() : answer.substr(blank + 4);
}

long resident_kib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

void CollectingSink::deliver_reply(std::string reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  replies.push_back(std::move(reply));
  cond_.notify_all();
}

std::vector<std::string> CollectingSink::wait_for(size_t count) {
  std::unique_lock<std::mutex> lock(mutex_);
  cond_.wait_for(lock, std::chrono::seconds(5), [&] { return replies.size() >= count; });
  return replies;
}

bool CollectingSink::wait_for(const std::string& reply) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cond_.wait_for(lock, std::chrono::seconds(30), [&] {
    return std::find(replies.begin(), replies.end(), reply) != replies.end();
  });
}

std::string host_binary() {
  const char* path = getenv("RINGTALLY_HOST");
  return path ? path : "./ringtally-host";
}

HostProcess::HostProcess(const std::vector<std::string>& args) {
  int to_child[2], from_child[2];
  if (pipe2(to_child, O_CLOEXEC) != 0 || pipe2(from_child, O_CLOEXEC) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(to_child[0], 0);
    dup2(from_child[1], 1);
    std::vector<std::string> all = {host_binary()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(to_child[0]);
  close(from_child[1]);
  in_ = to_child[1];
  out_ = from_child[0];
}

HostProcess::~HostProcess() {
  if (in_ >= 0) close(in_);
  if (out_ >= 0) close(out_);
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void HostProcess::send(const std::string& message) { send_raw(quote_js_string(message) + "\n"); }

void HostProcess::send_raw(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(in_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

std::string HostProcess::receive(int timeout_ms, bool* ok) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    size_t newline = buffer_.find('\n');
    if (newline != std::string::npos) {
      std::string line = buffer_.substr(0, newline), reply;
      buffer_.erase(0, newline + 1);
      bool parsed = parse_json_string(line, &reply);
      EXPECT_TRUE(parsed) << line;
      if (ok) *ok = parsed;
      return reply;
    }
    int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    deadline - std::chrono::steady_clock::now())
                                    .count());
    pollfd fd = {out_, POLLIN, 0};
    char chunk[4096];
    ssize_t n = 0;
    if (left <= 0 || poll(&fd, 1, left) <= 0 || (n = read(out_, chunk, sizeof chunk)) <= 0) {
      if (ok) *ok = false;
      return std::string();
    }
    buffer_.append(chunk, static_cast<size_t>(n));
  }
}

std::string HostProcess::call(const std::string& message) {
  send(message);
  return receive();
}

std::string HostProcess::result_of(const std::string& payload) {
  std::string prefix = "q" + std::to_string(++next_id_) + ":";
  std::string reply = call(prefix + payload);
  EXPECT_EQ(reply.compare(0, prefix.size(), prefix), 0) << reply;
  return reply.size() >= prefix.size() ? reply.substr(prefix.size()) : std::string();
}

void HostProcess::close_input() {
  close(in_);
  in_ = -1;
}

void HostProcess::signal(int sig) { kill(pid_, sig); }

int HostProcess::wait(int timeout_ms) {
  for (int waited = 0; waited <= timeout_ms; waited += 10) {
    int status;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    usleep(10000);
  }
  return -1;
}
