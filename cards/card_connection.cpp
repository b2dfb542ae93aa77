#include "cards/card_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "cards/request_guard.h"

namespace {

using Clock = std::chrono::steady_clock;

int millis_until(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// The address of one end of `sock` as text, and its port; "" and 0 when it
// cannot be read. `query` is getpeername or getsockname.
std::string socket_address(int sock, int (*query)(int, sockaddr*, socklen_t*), int* port) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  char text[INET6_ADDRSTRLEN] = "";
  *port = 0;
  if (query(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0) return "";
  if (address.ss_family == AF_INET) {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    *port = ntohs(v4->sin_port);
  } else if (address.ss_family == AF_INET6) {
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    *port = ntohs(v6->sin6_port);
  }
  return text;
}

enum class Wait { kReady, kTimeout, kStopped };

// Waits for `sock` to have input, until `deadline` or the stop.
Wait wait_readable(int sock, Clock::time_point deadline, const StopSignal& stop) {
  for (;;) {
    pollfd fds[2] = {{sock, POLLIN, 0}, {stop.fd(), POLLIN, 0}};
    int n = poll(fds, 2, millis_until(deadline));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Wait::kTimeout;
    if (fds[1].revents) return Wait::kStopped;
    if (fds[0].revents) return Wait::kReady;
    if (Clock::now() >= deadline) return Wait::kTimeout;
  }
}

// Appends what has arrived to `buffer`; false on end of input or error.
bool read_some(int sock, std::string& buffer) {
  char chunk[4096];
  for (;;) {
    ssize_t n = recv(sock, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n > 0) {
      buffer.append(chunk, static_cast<size_t>(n));
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

// Writes all of `data`; each wait for room lasts at most the write limit
// (shorter once the server is stopping). False when it could not.
bool write_all(int sock, const char* data, size_t size, const ConnectionLimits& limits,
               const StopSignal& stop) {
  size_t done = 0;
  Clock::time_point started = Clock::now();
  while (done < size) {
    ssize_t n = send(sock, data + done, size - done, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<size_t>(n);
      started = Clock::now();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    auto limit = stop.raised() ? limits.write_after_stop : limits.write;
    if (Clock::now() - started >= limit) return false;
    pollfd fd = {sock, POLLOUT, 0};
    poll(&fd, 1, 100);  // short slices, so that a stop is noticed
  }
  return true;
}

// The library's view of one request held in memory: it reads the request's
// bytes and writes to the socket.
class HeldRequestStream : public httplib::Stream {
 public:
  HeldRequestStream(int sock, std::string request, const ConnectionLimits& limits,
                    const StopSignal& stop)
      : sock_(sock), request_(std::move(request)), limits_(limits), stop_(stop) {}

  bool is_readable() const override { return offset_ < request_.size(); }
  bool is_writable() const override {
    pollfd fd = {sock_, POLLOUT, 0};
    return poll(&fd, 1, static_cast<int>(limits_.write.count())) > 0 && !(fd.revents & POLLERR);
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
    ip = socket_address(sock_, getpeername, &port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = socket_address(sock_, getsockname, &port);
  }
  socket_t socket() const override { return sock_; }

 private:
  int sock_;
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
void refuse(int sock, const Refusal& refusal, const ConnectionLimits& limits,
            const StopSignal& stop) {
  std::string answer = "HTTP/1.1 " + std::to_string(refusal.status) + " " +
                       reason_phrase(refusal.status) +
                       "\r\nContent-Type: application/json\r\nCache-Control: no-store"
                       "\r\nConnection: close\r\nContent-Length: " +
                       std::to_string(refusal.body.size()) + "\r\n\r\n" + refusal.body;
  if (!write_all(sock, answer.data(), answer.size(), limits, stop)) return;
  shutdown(sock, SHUT_WR);
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
bool read_request(int sock, std::string& buffer, std::string& request,
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

StopSignal::StopSignal() {
  if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) pipe_[0] = pipe_[1] = -1;
}

StopSignal::~StopSignal() {
  for (int fd : pipe_)
    if (fd >= 0) close(fd);
}

void StopSignal::raise() {
  char byte = 1;
  [[maybe_unused]] ssize_t n = write(pipe_[1], &byte, 1);
}

bool StopSignal::raised() const {
  pollfd fd = {pipe_[0], POLLIN, 0};
  return poll(&fd, 1, 0) > 0;
}

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

std::string peer_address(int sock) {
  int port;
  return socket_address(sock, getpeername, &port);
}

void serve_card_connection(int sock, const ConnectionLimits& limits, const StopSignal& stop,
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
  shutdown(sock, SHUT_RDWR);
  close(sock);
}
