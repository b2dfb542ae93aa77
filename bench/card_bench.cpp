// card_bench [N ...]: phones on loopback against the real card server.
//
// For each N (default 16 64 128):
//  1. submissions: N phones, each on its own keep-alive connection, submit a
//     placing for each of 16 classes through /api/save_card_placing, in 7
//     rounds (the placings deleted between them); median and 99th-percentile
//     latency over all rounds, and the median round's throughput;
//  2. idle phones: N phones each make one request and keep the connection
//     idle; then new phones (fresh connections) ask /api/fetch_card_names,
//     one after another; their latencies;
//  3. the same idle-phone check against a bare cpp-httplib server with the
//     library's defaults, for comparison (N <= 16 only: it waits seconds).
// Before all that, the floor: save_card_placing called in-process for as
// many rows, without HTTP or the queue, in 7 rounds (the median round). After
// it, once:
//  4. trickling: 260 connections from 127.0.0.2 that never finish their
//     head, and meanwhile 20 new phones at 127.0.0.1 ask /health;
//  5. flood: 250 phones (an address each) send 1,000 card writes at once
//     while the organiser's page sends a command every 10 ms; how long the
//     page waits for each answer.
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/bridge.h"
#include "app/command_table.h"
#include "cards/card_commands.h"
#include "cards/card_exchange.h"
#include "cards/card_server.h"
#include "store/contest.h"
#include "store/database.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBenchPort = 57190;
constexpr int kDefaultsPort = 57191;
constexpr int kClasses = 16;
constexpr int kNewPhones = 20;
// A round of 16 phones takes some 50 ms: one round alone says more about
// what else the machine did then than about the server.
constexpr int kRounds = 7;

// Notes when each page reply arrives.
class TimingSink : public ReplySink {
 public:
  void deliver_reply(std::string reply) override {
    std::lock_guard<std::mutex> lock(mutex_);
    arrived_[reply.substr(0, reply.find(':'))] = Clock::now();
    cond_.notify_all();
  }
  // When the reply to `id` arrived; waits for it up to 30 s.
  Clock::time_point wait_for(const std::string& id) {
    std::unique_lock<std::mutex> lock(mutex_);
    cond_.wait_for(lock, std::chrono::seconds(30), [&] { return arrived_.count(id) > 0; });
    return arrived_.count(id) ? arrived_[id] : Clock::now();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cond_;
  std::map<std::string, Clock::time_point> arrived_;
};

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

// Contestant numbers of `count` contestants: teams of 9 in division 1000.
std::vector<int> contestant_numbers(int count) {
  std::vector<int> numbers;
  for (int i = 0; i < count; ++i) numbers.push_back(1000 + 10 * (i / 9 + 1) + i % 9 + 1);
  return numbers;
}

void exec(const std::string& sql) {
  Statement statement(sql.c_str());
  statement.step();
}

void add_fixtures(int contestants) {
  exec("INSERT INTO divisions (id, name, team_size) VALUES (1, 'Bench', 9)");
  for (int i = 0; i < contestants; ++i) {
    if (i % 9 == 0)
      exec("INSERT INTO teams (division_no, name, type) VALUES (1000, 'Team " +
           std::to_string(i / 9) + "', 'Team')");
    exec("INSERT INTO contestants (team_no, name) VALUES (" + std::to_string(1000 + 10 * (i / 9 + 1)) +
         ", 'Contestant " + std::to_string(i) + "')");
  }
  exec("INSERT INTO class_types (name) VALUES ('Beef')");
  for (int c = 1; c <= kClasses; ++c)
    exec("INSERT INTO classes (type_id, name, placing, cuts, timestamp) VALUES (1, 'Class " +
         std::to_string(c) + "', 1234, 323, datetime('now', 'localtime'))");
}

std::string placing_body(int contestant, int class_id) {
  return std::to_string(contestant) + kFieldSeparator + std::to_string(class_id) +
         kFieldSeparator + "4321";
}

// Every phone has its own address, as in a room of phones (the server
// limits what one address may do).
std::string phone_address(int phone) {
  return "127.0." + std::to_string(1 + phone / 250) + "." + std::to_string(2 + phone % 250);
}

double median(std::vector<double> values) { return percentile(std::move(values), 0.5); }

// The same inserts in-process, on this thread, before the worker starts.
void measure_floor(const std::vector<int>& contestants) {
  std::vector<double> rates;
  int stored = 0;
  for (int round = 0; round < kRounds; ++round) {
    auto start = Clock::now();
    stored = 0;
    for (int contestant : contestants)
      for (int c = 1; c <= kClasses; ++c)
        stored += save_card_placing(std::string("127.0.0.2") + kFieldSeparator +
                                    placing_body(contestant, c)) == "true";
    rates.push_back(stored / (ms_since(start) / 1000));
    exec("DELETE FROM placings");
  }
  printf("floor: %d in-process save_card_placing inserts a round, median of %d rounds %.0f "
         "inserts/s (slowest round %.0f)\n",
         stored, kRounds, median(rates), percentile(rates, 0.0));
}

// One round: every phone submits a placing for each class; the latencies of
// all, and the placings a second.
double submit_round(const std::vector<int>& contestants, std::vector<double>* all,
                    std::atomic<int>* refused) {
  int n = static_cast<int>(contestants.size());
  std::vector<std::vector<double>> latencies(n);
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> phones;
  for (int p = 0; p < n; ++p) {
    phones.emplace_back([&, p] {
      httplib::Client client("127.0.0.1", kBenchPort);
      client.set_interface(phone_address(p));
      client.set_keep_alive(true);
      client.set_tcp_nodelay(true);  // as phone browsers do
      client.set_read_timeout(30, 0);
      ++ready;
      while (!go) std::this_thread::yield();
      for (int c = 1; c <= kClasses; ++c) {
        auto start = Clock::now();
        auto res = client.Post("/api/save_card_placing", placing_body(contestants[p], c), "text/plain");
        latencies[p].push_back(ms_since(start));
        if (!res || res->status != 200 || res->body != "true") {
          if ((*refused)++ < 3)
            fprintf(stderr, "refused: %s %d %s\n", httplib::to_string(res.error()).c_str(),
                    res ? res->status : 0, res ? res->body.c_str() : "");
        }
      }
    });
  }
  while (ready < n) std::this_thread::yield();
  auto start = Clock::now();
  go = true;
  for (auto& phone : phones) phone.join();
  double elapsed = ms_since(start);
  size_t count = 0;
  for (auto& list : latencies) {
    all->insert(all->end(), list.begin(), list.end());
    count += list.size();
  }
  return count / (elapsed / 1000);
}

void measure_submissions(Core& core, TimingSink& sink, const std::vector<int>& contestants) {
  std::vector<double> all, rates;
  std::atomic<int> refused{0};
  for (int round = 0; round < kRounds; ++round) {
    rates.push_back(submit_round(contestants, &all, &refused));
    std::string id = "reset" + std::to_string(round);
    on_web_message(core, id + ":bench_reset:");
    sink.wait_for(id);
  }
  printf("  submissions: %zu placings in %d rounds, median %.2f ms, p99 %.2f ms, max %.2f ms, "
         "%.0f placings/s (median round; slowest %.0f), %d not \"true\"\n",
         all.size() / kRounds, kRounds, percentile(all, 0.5), percentile(all, 0.99),
         percentile(all, 1.0), median(rates), percentile(rates, 0.0), refused.load());
}

// N phones make one request each at once and keep their connections idle;
// then new phones (fresh connections) ask one after another.
void measure_idle_phones(int port, int n, const char* label, const char* path, int newcomers) {
  std::vector<std::unique_ptr<httplib::Client>> idle;
  for (int p = 0; p < n; ++p) {
    idle.push_back(std::make_unique<httplib::Client>("127.0.0.1", port));
    idle.back()->set_interface(phone_address(p));
    idle.back()->set_keep_alive(true);
    idle.back()->set_tcp_nodelay(true);
    idle.back()->set_read_timeout(120, 0);
  }
  std::vector<double> firsts(n);
  std::vector<std::thread> openers;
  for (int p = 0; p < n; ++p)
    openers.emplace_back([&, p] {
      auto start = Clock::now();
      idle[p]->Post(path, std::string("1") + kFieldSeparator + "1", "text/plain");
      firsts[p] = ms_since(start);
    });
  for (auto& opener : openers) opener.join();
  std::vector<double> waits;
  int failed = 0;
  for (int i = 0; i < newcomers; ++i) {
    httplib::Client newcomer("127.0.0.1", port);
    newcomer.set_interface(phone_address(n + i));
    newcomer.set_tcp_nodelay(true);
    newcomer.set_read_timeout(120, 0);
    auto start = Clock::now();
    auto res = newcomer.Post(path, std::string("1") + kFieldSeparator + "1", "text/plain");
    waits.push_back(ms_since(start));
    if (!res || res->status != 200) ++failed;
  }
  printf("  %s: %d phones at once: slowest first answer %.2f ms; then, with their connections "
         "idle, %d new phones: median %.2f ms, max %.2f ms, %d failed\n",
         label, n, percentile(firsts, 1.0), newcomers, percentile(waits, 0.5),
         percentile(waits, 1.0), failed);
}

// A bare server with every library default, answering like a quick command.
void measure_library_defaults(int n) {
  httplib::Server server;
  server.Post("/api/fetch_card_names", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(std::string("Name") + kFieldSeparator + "Class", "text/plain");
  });
  if (!server.bind_to_port("0.0.0.0", kDefaultsPort)) {
    printf("  library defaults: port %d is taken, skipped\n", kDefaultsPort);
    return;
  }
  std::thread listener([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  measure_idle_phones(kDefaultsPort, n, "library defaults", "/api/fetch_card_names", 3);
  server.stop();
  listener.join();
}

int connect_from(const std::string& source, int port) {
  int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{}, remote{};
  local.sin_family = remote.sin_family = AF_INET;
  inet_pton(AF_INET, source.c_str(), &local.sin_addr);
  inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
  remote.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(sock, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      connect(sock, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
    close(sock);
    return -1;
  }
  return sock;
}

void measure_trickling(int port) {
  std::vector<int> trickling;
  for (int i = 0; i < 260; ++i) {
    int sock = connect_from("127.0.0.2", port);
    if (sock < 0) continue;
    send(sock, "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: a", 48, MSG_NOSIGNAL);
    trickling.push_back(sock);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::vector<double> waits;
  int failed = 0;
  for (int i = 0; i < kNewPhones; ++i) {
    httplib::Client phone("127.0.0.1", port);
    phone.set_tcp_nodelay(true);
    phone.set_read_timeout(30, 0);
    auto start = Clock::now();
    auto res = phone.Get("/health");
    waits.push_back(ms_since(start));
    if (!res || res->status != 200) ++failed;
  }
  printf("trickling: %zu connections from 127.0.0.2 hold their head open; %d new phones at "
         "127.0.0.1 ask /health: median %.2f ms, max %.2f ms, %d failed\n",
         trickling.size(), kNewPhones, percentile(waits, 0.5), percentile(waits, 1.0), failed);
  for (int sock : trickling) close(sock);
}

void measure_flood(Core& core, TimingSink& sink, int port, const std::vector<int>& contestants) {
  constexpr int kPhones = 250, kEach = 4;
  std::atomic<int> answered{0}, busy{0}, failed{0};
  std::atomic<bool> flooding{true};
  std::vector<std::thread> phones;
  for (int p = 0; p < kPhones; ++p)
    phones.emplace_back([&, p] {
      httplib::Client client("127.0.0.1", port);
      client.set_interface("127.0.1." + std::to_string(1 + p));
      client.set_keep_alive(true);
      client.set_tcp_nodelay(true);
      client.set_read_timeout(30, 0);
      for (int k = 0; k < kEach; ++k) {
        int contestant = contestants[static_cast<size_t>(p) % contestants.size()];
        auto res = client.Post("/api/save_card_placing",
                               placing_body(contestant, 1 + (p / 16 + k) % kClasses), "text/plain");
        if (!res) ++failed;
        else if (res->status == 503) ++busy;
        else ++answered;
      }
    });
  std::thread watcher([&] {
    for (auto& phone : phones) phone.join();
    flooding = false;
  });
  std::vector<double> waits;
  auto start = Clock::now();
  for (int i = 0; flooding || i == 0; ++i) {
    std::string id = "p" + std::to_string(i);
    auto asked = Clock::now();
    on_web_message(core, id + ":fetch_divisions:");
    waits.push_back(std::chrono::duration<double, std::milli>(sink.wait_for(id) - asked).count());
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  watcher.join();
  printf("flood: %d card writes from %d phones in %.0f ms (%d answered, %d busy, %d failed); "
         "%zu page commands meanwhile: median %.2f ms, max %.2f ms\n",
         kPhones * kEach, kPhones, ms_since(start), answered.load(), busy.load(), failed.load(),
         waits.size(), percentile(waits, 0.5), percentile(waits, 1.0));
  on_web_message(core, "r:bench_reset:");
  sink.wait_for("r");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(atoi(argv[i]));
  if (counts.empty()) counts = {16, 64, 128};
  int most = *std::max_element(counts.begin(), counts.end());
  if (most < 1 || most > 9 * 99) {
    fprintf(stderr, "card_bench: N must be 1 to 891\n");
    return 2;
  }

  std::string pattern = (std::filesystem::temp_directory_path() / "card-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  std::string desktop = pattern;
  set_contest_platform({[desktop] { return desktop; }, [](const std::string&) { return ""; }});
  if (!create_contest("Bench").empty()) return 1;
  add_fixtures(most);
  measure_floor(contestant_numbers(most));

  Core core;
  initialize_functions(core.table);
  core.table.commands["bench_reset"] = [](const std::string&) {
    exec("DELETE FROM placings");
    return std::string();
  };
  TimingSink sink;
  PendingCardRequests pending;
  std::thread worker(worker_func, std::ref(core), std::ref(sink), std::ref(pending));
  CardServer server(core.queue, pending);
  server.start(kBenchPort);
  for (int i = 0; i < 5000 && !server.is_listening(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (!server.is_listening()) {
    fprintf(stderr, "card_bench: port %d is taken\n", kBenchPort);
    return 1;
  }

  for (int n : counts) {
    printf("N = %d\n", n);
    measure_submissions(core, sink, contestant_numbers(n));
    measure_idle_phones(kBenchPort, n, "card server", "/api/fetch_card_names", kNewPhones);
    if (n <= 16) measure_library_defaults(n);
    fflush(stdout);
  }
  measure_trickling(kBenchPort);
  measure_flood(core, sink, kBenchPort, contestant_numbers(most));

  server.stop();
  server.join();
  stop_worker(core.queue);
  worker.join();
  close_database();
  std::filesystem::remove_all(desktop);
  return 0;
}
