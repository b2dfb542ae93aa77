// Reads the IPv4 route table and the interface addresses from Linux.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "cards/lan_address.h"

namespace {

// An address label such as "eth0:1" belongs to the interface "eth0".
unsigned interface_index(const char* name) {
  std::string base = name;
  base = base.substr(0, base.find(':'));
  return if_nametoindex(base.c_str());
}

// The kernel lists the main table's IPv4 routes in its own order.
std::optional<std::vector<RouteRow>> read_routes() {
  std::ifstream file("/proc/net/route");
  if (!file) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return parse_route_table(text, interface_index);
}

std::optional<std::vector<InterfaceAddress>> read_addresses() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return std::nullopt;
  std::vector<InterfaceAddress> addresses;
  for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_addr) continue;
    InterfaceAddress address;
    address.interface_index = interface_index(entry->ifa_name);
    address.is_ipv4 = entry->ifa_addr->sa_family == AF_INET;
    if (address.is_ipv4) {
      char text[22] = {};
      auto* ipv4 = reinterpret_cast<sockaddr_in*>(entry->ifa_addr);
      if (inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text)) address.text = text;
    }
    addresses.push_back(std::move(address));
  }
  freeifaddrs(list);
  return addresses;
}

}  // namespace

LanLookup find_lan_address() {
  auto routes = read_routes();
  if (!routes) return {LanStatus::kNoDefaultRoute, ""};
  auto addresses = read_addresses();
  if (!addresses) return {LanStatus::kNoAddressList, ""};
  return select_lan_address(*routes, *addresses);
}
