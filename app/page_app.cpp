#include "app/page_app.h"

#include "app/stream_host.h"

bool parse_page_app_options(const std::vector<std::string>& args, PageAppOptions* options,
                            std::string* error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& flag = args[i];
    if (flag == "--no-browser") {
      options->open_browser = false;
      continue;
    }
    if (flag != "--desktop" && flag != "--card-port" && flag != "--page-port") {
      *error = "The option " + flag + " is not known.";
      return false;
    }
    if (i + 1 >= args.size()) {
      *error = "The option " + flag + " needs a value.";
      return false;
    }
    const std::string& value = args[++i];
    if (flag == "--desktop") {
      options->has_desktop = true;
      options->desktop = value;
    } else if (flag == "--card-port" && !parse_port_option(value.c_str(), &options->card_port)) {
      *error = "The card port must be a number from 0 (no card server) to 65535.";
      return false;
    } else if (flag == "--page-port" && !parse_port_option(value.c_str(), &options->page_port)) {
      *error = "The page port must be a number from 0 (any free port) to 65535.";
      return false;
    }
  }
  return true;
}
