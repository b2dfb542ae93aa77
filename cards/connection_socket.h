// The socket calls that serving one phone connection makes, one
// implementation per platform (connection_socket_linux.cpp,
// connection_socket_win32.cpp).
#pragma once
#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <string>

namespace connection_socket {

using Clock = std::chrono::steady_clock;

enum class Wait { kReady, kTimeout, kStopped };

// Waits for `sock` to have input, until `deadline` or until `wake` (the
// readable handle of a wake pair) is readable.
Wait wait_readable(socket_t sock, Clock::time_point deadline, socket_t wake);

// Appends what has arrived to `buffer` without waiting; false on end of
// input or error.
bool read_some(socket_t sock, std::string& buffer);

// Sends what the socket takes at once: the count sent, 0 when it has no
// room now, -1 on error.
long send_some(socket_t sock, const char* data, size_t size);

// Waits at most `millis` for room to write; false on time-out or error.
bool wait_writable(socket_t sock, int millis);

// The peer's or the local end's address as text ("" when it cannot be
// read), with its port (0 then).
std::string peer_address(socket_t sock, int* port);
std::string local_address(socket_t sock, int* port);

// Answers go out in two writes (head, body); without this the second waits
// for the phone's delayed acknowledgement.
void set_no_delay(socket_t sock);

void shutdown_writes(socket_t sock);
// Shuts both directions down and releases the socket.
void close_connection(socket_t sock);

enum Family { kIPv4, kIPv6 };
// True when `text` is an address of `family` as inet_pton reads it.
bool is_address_text(const std::string& text, Family family);

// A wake pair: wake(pair[1]) makes pair[0] readable for good. False, with
// both handles invalid, when it cannot be made.
bool make_wake_pair(socket_t pair[2]);
void wake(socket_t write_end);
bool is_woken(socket_t read_end);
void release_wake_pair(socket_t pair[2]);

}  // namespace connection_socket
