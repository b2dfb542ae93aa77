// The desktop application where the page shows in a browser beside a small
// native window (Windows): its command line.
#pragma once
#include <string>
#include <vector>

#include "cards/card_routes.h"

struct PageAppOptions {
  bool has_desktop = false;
  std::string desktop;        // --desktop DIR: where contests are created
  int card_port = kCardPort;  // --card-port N; 0 runs no card server
  int page_port = 0;          // --page-port N; 0 lets the system pick a free port
  bool open_browser = true;  // --no-browser: only print the page's address
};

// Reads `args` (the arguments after the program's name, as UTF-8). False,
// with a sentence in `error`, for anything it does not know.
bool parse_page_app_options(const std::vector<std::string>& args, PageAppOptions* options,
                            std::string* error);
