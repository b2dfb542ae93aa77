#include "app/stream_host.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "app/bridge.h"
#include "app/command_table.h"
#include "app/core_run.h"
#include "app/desktop.h"
#include "app/page_server.h"
#include "app/stream_input.h"
#include "app/text.h"
#include "store/contest.h"
#include "ui/pages.h"

namespace {

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

// With a page port the page is the front end: replies go to it, and standard
// input only tells when to end.
bool serve_page(PageServer& page_server, int port) {
  if (!page_server.start(port)) {
    fprintf(stderr, "ringtally-host: the page port %d could not be bound\n", port);
    return false;
  }
  printf("Page: %s\n", page_server.url().c_str());
  fflush(stdout);
  read_input_lines([](const std::string&) {});
  page_server.stop();
  page_server.join();
  return true;
}

}  // namespace

bool parse_port_option(const char* text, int* port) {
  char* end = nullptr;
  errno = 0;
  long value = strtol(text, &end, 10);
  if (errno || end == text || *end || value < 0 || value > 65535) return false;
  *port = static_cast<int>(value);
  return true;
}

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
      if (!parse_port_option(value, &options->card_port)) {
        *error = "The card port must be a number from 0 (no card server) to 65535.";
        return false;
      }
    } else if (flag == "--page-port") {
      if (!parse_port_option(value, &options->page_port)) {
        *error = "The page port must be a number from 0 (any free port) to 65535.";
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
  if (!watch_stop_requests()) return 1;

  std::string desktop = options.has_desktop ? options.desktop : user_desktop_folder();
  std::string open_file = options.open_file;
  set_contest_platform({[desktop] { return desktop; },
                        [open_file](const std::string&) { return open_file; }});

  Core core;
  fill_table(core.table);
  if (options.page_port >= 0) {
    PageServer page_server(core, ui::main_page);
    bool served = false;
    run_core(core, page_server, options.card_port, [&](CardServer&) {
      served = serve_page(page_server, options.page_port);
    });
    return served ? 0 : 1;
  }
  StdoutSink sink;
  run_core(core, sink, options.card_port, [&core, &sink](CardServer&) {
    InputEnd end = read_input_lines([&](const std::string& line) { handle_line(core, sink, line); });
    // After end of input every queued page request still gets its answer,
    // unless a stop request cuts the wait short.
    if (end == InputEnd::kEndOfInput) wait_unless_stopped([&sink] { return sink.outstanding <= 0; });
  });
  return 0;
}
