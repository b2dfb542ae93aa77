// What the HTTP servers need of the platform's sockets beyond the HTTP
// library: starting the socket library, claiming a listening port for this
// program alone, and closing a listener from another thread.
#pragma once
#include <httplib.h>

// Keeps the platform's socket library started while it lives (Windows
// Sockets 2.2; nothing to do on Linux). Every server thread holds one.
class SocketLibrary {
 public:
  SocketLibrary();
  ~SocketLibrary();
  SocketLibrary(const SocketLibrary&) = delete;
  SocketLibrary& operator=(const SocketLibrary&) = delete;
  // False when the library could not be started; no socket works then.
  bool started() const { return started_; }

 private:
  bool started_;
};

// Socket option hook for a listener: a port that another program listens on
// is never shared with it, while a port left in TIME_WAIT by a listener that
// has just ended can be bound again.
void claim_listening_port(socket_t sock);

// Shuts a listening socket down, so that a thread blocked accepting on it
// returns, and releases it.
void close_listening_socket(socket_t sock);
