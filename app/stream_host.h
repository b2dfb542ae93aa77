// The windowless host: the same core as the window (command table, worker,
// card server) driven over standard streams, for tests and automation.
//
// Input: one page message a line, as a JSON string literal. Output: one
// reply a line, as a JSON string literal, flushed at once. Diagnostics go to
// standard error. End of input answers what is queued, then shuts down;
// SIGINT or SIGTERM shut down at once. Exit code 0 after an orderly shutdown.
#pragma once
#include <string>

#include "app/bridge.h"
#include "cards/card_routes.h"

struct HostOptions {
  bool has_desktop = false;
  std::string desktop;    // --desktop DIR
  std::string open_file;  // --open-file PATH: what the open dialog answers
  int card_port = kCardPort;  // --card-port N; 0 runs no card server
};

// Reads `--desktop DIR`, `--open-file PATH`, `--card-port N`. False, with a
// sentence in `error`, for anything else.
bool parse_host_options(int argc, const char* const* argv, HostOptions* options,
                        std::string* error);

int run_stream_host(const HostOptions& options);
// The same with a command table that `fill_table` builds (test hosts).
int run_stream_host(const HostOptions& options, void (*fill_table)(CommandTable& table));
