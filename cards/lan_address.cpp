#include "cards/lan_address.h"

#include <sstream>

LanLookup select_lan_address(const std::vector<RouteRow>& routes,
                             const std::vector<InterfaceAddress>& addresses) {
  const RouteRow* first_default = nullptr;
  for (const RouteRow& row : routes) {
    if (row.destination == 0) {
      first_default = &row;
      break;
    }
  }
  if (!first_default || first_default->interface_index == 0) return {LanStatus::kNoDefaultRoute, ""};
  for (const InterfaceAddress& address : addresses) {
    if (address.interface_index != first_default->interface_index || !address.is_ipv4) continue;
    if (address.text.empty() || address.text == "127.0.0.1") continue;
    return {LanStatus::kFound, address.text};
  }
  return {LanStatus::kNoUsableAddress, ""};
}

std::vector<RouteRow> parse_route_table(const std::string& text,
                                        unsigned (*index_of)(const char* name)) {
  std::vector<RouteRow> rows;
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);  // column titles
  while (std::getline(lines, line)) {
    std::istringstream columns(line);
    std::string name, destination;
    if (!(columns >> name >> destination)) continue;
    if (destination.size() != 8 || destination.find_first_not_of("0123456789abcdefABCDEF") !=
                                       std::string::npos)
      continue;
    rows.push_back({static_cast<unsigned>(std::stoul(destination, nullptr, 16)), index_of(name.c_str())});
  }
  return rows;
}
