#include <sys/socket.h>
#include <unistd.h>

#include "cards/listen_socket.h"

SocketLibrary::SocketLibrary() : started_(true) {}
SocketLibrary::~SocketLibrary() = default;

// SO_REUSEADDR on Linux never lets two sockets listen on one port.
void claim_listening_port(socket_t sock) {
  int yes = 1;
  setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

void close_listening_socket(socket_t sock) {
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
}
