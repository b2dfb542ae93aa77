#include <winsock2.h>

#include "cards/listen_socket.h"

SocketLibrary::SocketLibrary() {
  WSADATA data;
  started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

SocketLibrary::~SocketLibrary() {
  if (started_) WSACleanup();
}

// On Windows SO_REUSEADDR would let a second program listen on the same
// port and take some of the connections; SO_EXCLUSIVEADDRUSE refuses it.
void claim_listening_port(socket_t sock) {
  BOOL yes = TRUE;
  setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
}

void close_listening_socket(socket_t sock) {
  ::shutdown(sock, SD_BOTH);
  ::closesocket(sock);
}
