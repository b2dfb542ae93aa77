#include "cards/card_connection.h"

#include <algorithm>

#include "cards/connection_socket.h"
#include "cards/request_guard.h"

namespace {

using connection_socket::Clock;
using connection_socket::read_some;
using connection_socket::Wait;

Wait wait_readable(socket_t sock, Clock::time_point deadline, const StopSignal& stop) {
  return connection_socket::wait_readable(sock, deadline, stop.fd());
}

// Writes all of `data`; each wait for room lasts at most the write limit
// (shorter once the server is stopping). False when it could not.
bool write_all(socket_t sock, const char* data, size_t size, const ConnectionLimits& limits,
               const StopSignal& stop) {
  size_t done = 0;
  Clock::time_point started = Clock::now();
  while (done < size) {
    long n = connection_socket::send_some(sock, data + done, size - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      started = Clock::now();
      continue;
    }
    if (n < 0) return false;
    auto limit = stop.raised() ? limits.write_after_stop : limits.write;
    if (Clock::now() - started >= limit) return false;
    connection_socket::wait_writable(sock, 100);  // short slices, so that a stop is noticed
  }
  return true;
}

// The library's view of one request held in memory: it reads the request's
// bytes and writes to the socket.
class HeldRequestStream : public httplib::Stream {
 public:
  HeldRequestStream(socket_t sock, std::string request, const ConnectionLimits& limits,
                    const StopSignal& stop)
      : sock_(sock), request_(std::move(request)), limits_(limits), stop_(stop) {}

  bool is_readable() const override { return offset_ < request_.size(); }
  bool is_writable() const override {
    return connection_socket::wait_writable(sock_, static_cast<int>(limits_.write.count()));
  }
  ssize_t read(char* ptr, size_t size) override {
    size_t n = std::min(size, request_.size() - offset_);
    request_.copy(ptr, n, offset_);
    offset_ += n;
    return static_cast<ssize_t>(n);
  }
  ssize_t write(const char* ptr, size_t size) override {
    return write_all(sock_, ptr, size, limits_, stop_) ? static_cast<ssize_t>(size) : -1;
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = connection_socket::peer_address(sock_, &port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = connection_socket::local_address(sock_, &port);
  }
  socket_t socket() const override { return sock_; }

 private:
  socket_t sock_;
  std::string request_;
  size_t offset_ = 0;
  const ConnectionLimits& limits_;
  const StopSignal& stop_;
};

const char* reason_phrase(int status) {
  switch (status) {
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 415: return "Unsupported Media Type";
    case 431: return "Request Header Fields Too Large";
    default: return "Error";
  }
}

// Answers a refused request and lets the peer see the answer before the
// connection closes: input still arriving is read and dropped for a moment
// (closing with unread input would reset the connection and lose it).
void refuse(socket_t sock, const Refusal& refusal, const ConnectionLimits& limits,
            const StopSignal& stop) {
  std::string answer = "HTTP/1.1 " + std::to_string(refusal.status) + " " +
                       reason_phrase(refusal.status) +
                       "\r\nContent-Type: application/json\r\nCache-Control: no-store"
                       "\r\nConnection: close\r\nContent-Length: " +
                       std::to_string(refusal.body.size()) + "\r\n\r\n" + refusal.body;
  if (!write_all(sock, answer.data(), answer.size(), limits, stop)) return;
  connection_socket::shutdown_writes(sock);
  constexpr size_t kMostDropped = 256 * 1024;
  Clock::time_point until = Clock::now() + std::chrono::milliseconds(500);
  size_t dropped = 0;
  std::string chunk;
  while (dropped < kMostDropped && wait_readable(sock, until, stop) == Wait::kReady) {
    chunk.clear();
    if (!read_some(sock, chunk) || chunk.empty()) break;
    dropped += chunk.size();
  }
}

// Reads one whole request into `request` (head and body), taking further
// bytes from `buffer` first and leaving any beyond it there. False when the
// connection is to end (answered already when a check refused it).
bool read_request(socket_t sock, std::string& buffer, std::string& request,
                  const ConnectionLimits& limits, const StopSignal& stop) {
  if (buffer.empty()) {
    if (wait_readable(sock, Clock::now() + limits.idle, stop) != Wait::kReady) return false;
    if (!read_some(sock, buffer) || buffer.empty()) return false;
  }
  Clock::time_point deadline = Clock::now() + limits.whole_request;
  size_t head_end;
  while ((head_end = buffer.find("\r\n\r\n")) == std::string::npos) {
    if (buffer.size() > kMaxHeadBytes) {
      refuse(sock, head_too_large(), limits, stop);
      return false;
    }
    if (wait_readable(sock, deadline, stop) != Wait::kReady || !read_some(sock, buffer))
      return false;
  }
  size_t head_bytes = head_end + 4;
  HeadVerdict verdict = check_request_head(std::string_view(buffer).substr(0, head_bytes));
  if (verdict.refusal) {
    refuse(sock, verdict.refusal, limits, stop);
    return false;
  }
  size_t total = head_bytes + verdict.body_bytes;
  while (buffer.size() < total) {
    if (wait_readable(sock, deadline, stop) != Wait::kReady || !read_some(sock, buffer))
      return false;
  }
  request = buffer.substr(0, total);
  buffer.erase(0, total);
  return true;
}

}  // namespace

StopSignal::StopSignal() { connection_socket::make_wake_pair(pipe_); }

StopSignal::~StopSignal() { connection_socket::release_wake_pair(pipe_); }

void StopSignal::raise() { connection_socket::wake(pipe_[1]); }

bool StopSignal::raised() const { return connection_socket::is_woken(pipe_[0]); }

bool ConnectionCounter::enter(const std::string& source) {
  std::lock_guard<std::mutex> lock(mutex_);
  int& open = open_[source];
  if (open >= per_source_) return false;
  ++open;
  return true;
}

void ConnectionCounter::leave(const std::string& source) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto entry = open_.find(source);
  if (entry == open_.end()) return;
  if (--entry->second <= 0) open_.erase(entry);
}

std::string peer_address(socket_t sock) {
  int port;
  return connection_socket::peer_address(sock, &port);
}

void serve_card_connection(socket_t sock, const ConnectionLimits& limits, const StopSignal& stop,
                           const RequestRunner& run) {
  std::string buffer;
  for (int served = 0; served < limits.max_requests && !stop.raised(); ++served) {
    std::string request;
    if (!read_request(sock, buffer, request, limits, stop)) break;
    HeldRequestStream stream(sock, std::move(request), limits, stop);
    bool closed = false;
    bool last = served + 1 == limits.max_requests;
    if (!run(stream, last, closed) || closed) break;
  }
  connection_socket::close_connection(sock);
}
