#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "cards/connection_socket.h"

namespace connection_socket {

namespace {

int millis_until(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// `query` is getpeername or getsockname.
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

}  // namespace

Wait wait_readable(socket_t sock, Clock::time_point deadline, socket_t wake) {
  for (;;) {
    pollfd fds[2] = {{sock, POLLIN, 0}, {wake, POLLIN, 0}};
    int n = poll(fds, 2, millis_until(deadline));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Wait::kTimeout;
    if (fds[1].revents) return Wait::kStopped;
    if (fds[0].revents) return Wait::kReady;
    if (Clock::now() >= deadline) return Wait::kTimeout;
  }
}

bool read_some(socket_t sock, std::string& buffer) {
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

long send_some(socket_t sock, const char* data, size_t size) {
  for (;;) {
    ssize_t n = send(sock, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
  }
}

bool wait_writable(socket_t sock, int millis) {
  pollfd fd = {sock, POLLOUT, 0};
  return poll(&fd, 1, millis) > 0 && !(fd.revents & POLLERR);
}

std::string peer_address(socket_t sock, int* port) { return socket_address(sock, getpeername, port); }
std::string local_address(socket_t sock, int* port) { return socket_address(sock, getsockname, port); }

void set_no_delay(socket_t sock) {
  int yes = 1;
  setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

void shutdown_writes(socket_t sock) { shutdown(sock, SHUT_WR); }

void close_connection(socket_t sock) {
  shutdown(sock, SHUT_RDWR);
  close(sock);
}

bool make_wake_pair(socket_t pair[2]) {
  if (pipe2(pair, O_CLOEXEC | O_NONBLOCK) == 0) return true;
  pair[0] = pair[1] = INVALID_SOCKET;
  return false;
}

void wake(socket_t write_end) {
  char byte = 1;
  [[maybe_unused]] ssize_t n = write(write_end, &byte, 1);
}

bool is_woken(socket_t read_end) {
  pollfd fd = {read_end, POLLIN, 0};
  return poll(&fd, 1, 0) > 0;
}

void release_wake_pair(socket_t pair[2]) {
  for (int i = 0; i < 2; ++i)
    if (pair[i] >= 0) close(pair[i]);
}

bool is_address_text(const std::string& text, Family family) {
  unsigned char address[16];
  return inet_pton(family == kIPv6 ? AF_INET6 : AF_INET, text.c_str(), address) == 1;
}

}  // namespace connection_socket
