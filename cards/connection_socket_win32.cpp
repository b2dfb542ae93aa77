#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>

#include "cards/connection_socket.h"

namespace connection_socket {

namespace {

int millis_until(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

bool ready(socket_t sock, short events, int millis) {
  WSAPOLLFD fd = {sock, events, 0};
  return WSAPoll(&fd, 1, millis) > 0 && !(fd.revents & POLLNVAL);
}

using AddressQuery = int(WSAAPI*)(SOCKET, sockaddr*, int*);

std::string socket_address(socket_t sock, AddressQuery query, int* port) {
  sockaddr_storage address{};
  int length = sizeof address;
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

// Windows has no per-call "don't wait": the socket is switched for the call.
void set_blocking(socket_t sock, bool blocking) {
  u_long mode = blocking ? 0 : 1;
  ioctlsocket(sock, FIONBIO, &mode);
}

}  // namespace

Wait wait_readable(socket_t sock, Clock::time_point deadline, socket_t wake) {
  for (;;) {
    WSAPOLLFD fds[2] = {{sock, POLLRDNORM, 0}, {wake, POLLRDNORM, 0}};
    int n = WSAPoll(fds, 2, millis_until(deadline));
    if (n < 0) return Wait::kTimeout;
    if (fds[1].revents) return Wait::kStopped;
    if (fds[0].revents) return Wait::kReady;
    if (Clock::now() >= deadline) return Wait::kTimeout;
  }
}

bool read_some(socket_t sock, std::string& buffer) {
  char chunk[4096];
  set_blocking(sock, false);
  int n = recv(sock, chunk, sizeof chunk, 0);
  int error = n < 0 ? WSAGetLastError() : 0;
  set_blocking(sock, true);
  if (n > 0) buffer.append(chunk, static_cast<size_t>(n));
  return n > 0 || (n < 0 && error == WSAEWOULDBLOCK);
}

long send_some(socket_t sock, const char* data, size_t size) {
  set_blocking(sock, false);
  int n = send(sock, data, static_cast<int>(size > INT_MAX ? INT_MAX : size), 0);
  int error = n < 0 ? WSAGetLastError() : 0;
  set_blocking(sock, true);
  if (n >= 0) return n;
  return error == WSAEWOULDBLOCK ? 0 : -1;
}

bool wait_writable(socket_t sock, int millis) {
  WSAPOLLFD fd = {sock, POLLWRNORM, 0};
  return WSAPoll(&fd, 1, millis) > 0 && !(fd.revents & (POLLERR | POLLNVAL));
}

std::string peer_address(socket_t sock, int* port) { return socket_address(sock, getpeername, port); }
std::string local_address(socket_t sock, int* port) { return socket_address(sock, getsockname, port); }

void set_no_delay(socket_t sock) {
  BOOL yes = TRUE;
  setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof yes);
}

void shutdown_writes(socket_t sock) { shutdown(sock, SD_SEND); }

void close_connection(socket_t sock) {
  shutdown(sock, SD_BOTH);
  closesocket(sock);
}

// Windows cannot wait on a pipe and a socket at once, so the wake pair is
// one UDP socket on 127.0.0.1 that sends its byte to itself.
bool make_wake_pair(socket_t pair[2]) {
  pair[0] = pair[1] = INVALID_SOCKET;
  SOCKET sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (sock == INVALID_SOCKET) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    closesocket(sock);
    return false;
  }
  pair[0] = pair[1] = sock;
  return true;
}

void wake(socket_t write_end) {
  char byte = 1;
  if (write_end != INVALID_SOCKET) send(write_end, &byte, 1, 0);
}

bool is_woken(socket_t read_end) { return read_end != INVALID_SOCKET && ready(read_end, POLLRDNORM, 0); }

void release_wake_pair(socket_t pair[2]) {
  if (pair[0] != INVALID_SOCKET) closesocket(pair[0]);
  pair[0] = pair[1] = INVALID_SOCKET;
}

bool is_address_text(const std::string& text, Family family) {
  unsigned char address[16];
  return inet_pton(family == kIPv6 ? AF_INET6 : AF_INET, text.c_str(), address) == 1;
}

}  // namespace connection_socket
