#include "app/stream_host.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "app/bridge.h"
#include "app/command_table.h"
#include "app/core_run.h"
#include "app/desktop.h"
#include "app/text.h"
#include "store/contest.h"

namespace {

int g_signal_pipe[2] = {-1, -1};

void on_signal(int) {
  int saved = errno;
  char byte = 1;
  [[maybe_unused]] ssize_t n = write(g_signal_pipe[1], &byte, 1);
  errno = saved;
}

// Writes each reply as one JSON line; counts page requests still unanswered.
class StdoutSink : public ReplySink {
 public:
  void deliver_reply(std::string reply) override {
    std::string line = quote_js_string(reply) + "\n";
    std::lock_guard<std::mutex> lock(mutex_);
    fwrite(line.data(), 1, line.size(), stdout);
    fflush(stdout);
    --outstanding;
  }
  std::atomic<int> outstanding{0};

 private:
  std::mutex mutex_;
};

bool parse_port(const char* text, int* port) {
  char* end = nullptr;
  errno = 0;
  long value = strtol(text, &end, 10);
  if (errno || end == text || *end || value < 0 || value > 65535) return false;
  *port = static_cast<int>(value);
  return true;
}

void handle_line(Core& core, StdoutSink& sink, const std::string& line) {
  if (line.find_first_not_of(" \t\r") == std::string::npos) return;
  std::string message;
  if (!parse_json_string(line, &message)) {
    fprintf(stderr, "ringtally-host: ignored a line that is not a JSON string\n");
    return;
  }
  ++sink.outstanding;
  on_web_message(core, message);
}

enum class Ending { kEndOfInput, kSignal };

// Feeds stdin to the queue until it ends or a signal arrives.
Ending read_messages(Core& core, StdoutSink& sink) {
  std::string buffer;
  char chunk[65536];
  for (;;) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {g_signal_pipe[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return Ending::kEndOfInput;
    }
    if (fds[1].revents) return Ending::kSignal;
    if (!fds[0].revents) continue;
    ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      handle_line(core, sink, buffer);
      return Ending::kEndOfInput;
    }
    buffer.append(chunk, static_cast<size_t>(n));
    size_t start = 0, newline;
    while ((newline = buffer.find('\n', start)) != std::string::npos) {
      handle_line(core, sink, buffer.substr(start, newline - start));
      start = newline + 1;
    }
    buffer.erase(0, start);
  }
}

// After end of input every queued page request still gets its answer, unless
// a signal cuts the wait short.
void wait_for_answers(StdoutSink& sink) {
  while (sink.outstanding > 0) {
    pollfd fd = {g_signal_pipe[0], POLLIN, 0};
    if (poll(&fd, 1, 20) > 0) return;
  }
}

}  // namespace

bool parse_host_options(int argc, const char* const* argv, HostOptions* options,
                        std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    if (i + 1 >= argc) {
      *error = "The option " + flag + " needs a value, or is not known.";
      return false;
    }
    const char* value = argv[++i];
    if (flag == "--desktop") {
      options->has_desktop = true;
      options->desktop = value;
    } else if (flag == "--open-file") {
      options->open_file = value;
    } else if (flag == "--card-port") {
      if (!parse_port(value, &options->card_port)) {
        *error = "The card port must be a number from 0 (no card server) to 65535.";
        return false;
      }
    } else {
      *error = "The option " + flag + " is not known.";
      return false;
    }
  }
  return true;
}

int run_stream_host(const HostOptions& options) {
  return run_stream_host(options, initialize_functions);
}

int run_stream_host(const HostOptions& options, void (*fill_table)(CommandTable& table)) {
  if (pipe2(g_signal_pipe, O_CLOEXEC) != 0) return 1;
  struct sigaction action {};
  action.sa_handler = on_signal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::string desktop = options.has_desktop ? options.desktop : user_desktop_folder();
  std::string open_file = options.open_file;
  set_contest_platform({[desktop] { return desktop; },
                        [open_file](const std::string&) { return open_file; }});

  Core core;
  fill_table(core.table);
  StdoutSink sink;
  run_core(core, sink, options.card_port, [&core, &sink](CardServer&) {
    if (read_messages(core, sink) == Ending::kEndOfInput) wait_for_answers(sink);
  });
  return 0;
}
