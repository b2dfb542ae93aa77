// One phone connection, served at the socket: each request is read whole,
// within a deadline, and checked (request_guard.h) before the HTTP library
// sees it; the library then parses and answers a request already in memory.
// So no request can hold a thread longer than its deadline, and no head or
// body beyond the limits is ever kept.
#pragma once
#include <httplib.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

// Raised once when the server stops: every wait of every connection ends.
class StopSignal {
 public:
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;
  void raise();  // any thread, any number of times
  bool raised() const;
  int fd() const { return pipe_[0]; }  // readable once raised

 private:
  int pipe_[2] = {-1, -1};
};

// Open connections per source address. Safe from several threads.
class ConnectionCounter {
 public:
  explicit ConnectionCounter(int per_source) : per_source_(per_source) {}
  // False, counting nothing, when `source` has `per_source` open already.
  bool enter(const std::string& source);
  void leave(const std::string& source);

 private:
  const int per_source_;
  std::mutex mutex_;
  std::unordered_map<std::string, int> open_;
};

struct ConnectionLimits {
  std::chrono::milliseconds idle{2000};           // for a further request's first byte
  std::chrono::milliseconds whole_request{10000};  // first byte to last body byte
  std::chrono::milliseconds write{5000};          // for each write to make progress
  std::chrono::milliseconds write_after_stop{500};
  int max_requests = 100;                         // on one connection
};

// Runs one request that passed the checks: `stream` reads exactly its bytes
// and writes to the connection. `last` asks the answer to close the
// connection; the runner sets `closed` when the request asked for that.
// False ends the connection.
using RequestRunner = std::function<bool(httplib::Stream& stream, bool last, bool& closed)>;

// The socket's peer address as text ("" when it cannot be read).
std::string peer_address(int sock);

// Serves `sock` until the peer closes, a limit ends it, a request is refused
// (answered with its status and JSON body, then closed) or `stop` is raised;
// then closes it.
void serve_card_connection(int sock, const ConnectionLimits& limits, const StopSignal& stop,
                           const RequestRunner& run);
