#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "app/stream_input.h"

namespace {

int g_signal_pipe[2] = {-1, -1};

void on_signal(int) {
  int saved = errno;
  char byte = 1;
  [[maybe_unused]] ssize_t n = write(g_signal_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

bool watch_stop_requests() {
  if (pipe2(g_signal_pipe, O_CLOEXEC) != 0) return false;
  struct sigaction action {};
  action.sa_handler = on_signal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return true;
}

InputEnd read_input_lines(const std::function<void(const std::string& line)>& on_line) {
  std::string buffer;
  char chunk[65536];
  for (;;) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {g_signal_pipe[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return InputEnd::kEndOfInput;
    }
    if (fds[1].revents) return InputEnd::kStopRequest;
    if (!fds[0].revents) continue;
    ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      on_line(buffer);
      return InputEnd::kEndOfInput;
    }
    buffer.append(chunk, static_cast<size_t>(n));
    size_t start = 0, newline;
    while ((newline = buffer.find('\n', start)) != std::string::npos) {
      on_line(buffer.substr(start, newline - start));
      start = newline + 1;
    }
    buffer.erase(0, start);
  }
}

void wait_unless_stopped(const std::function<bool()>& done) {
  while (!done()) {
    pollfd fd = {g_signal_pipe[0], POLLIN, 0};
    if (poll(&fd, 1, 20) > 0) return;
  }
}
