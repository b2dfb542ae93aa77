// ringtally-slow-host: ringtally-host whose fetch_card_names first sleeps 11
// seconds when the contestant number field is "9999", so that the card
// pages' time-out can be driven through the real card server.
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/command_table.h"
#include "app/stream_host.h"
#include "store/database.h"

namespace {

void fill_slow_table(CommandTable& table) {
  initialize_functions(table);
  CommandHandler names = table.commands["fetch_card_names"];
  table.commands["fetch_card_names"] = [names](const std::string& argument) {
    std::vector<std::string> parts = split_fields(argument);
    if (!parts.empty() && parts[0] == "9999") std::this_thread::sleep_for(std::chrono::seconds(11));
    return names(argument);
  };
}

}  // namespace

int main(int argc, char** argv) {
  HostOptions options;
  std::string error;
  if (!parse_host_options(argc, argv, &options, &error)) {
    fprintf(stderr, "ringtally-slow-host: %s\n", error.c_str());
    return 2;
  }
  return run_stream_host(options, fill_slow_table);
}
