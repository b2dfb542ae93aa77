// ringtally-host [--desktop DIR] [--open-file PATH] [--card-port N] [--page-port N]
#include <cstdio>

#include "app/stream_host.h"

int main(int argc, char** argv) {
  HostOptions options;
  std::string error;
  if (!parse_host_options(argc, argv, &options, &error)) {
    fprintf(stderr, "ringtally-host: %s\n", error.c_str());
    return 2;
  }
  return run_stream_host(options);
}
