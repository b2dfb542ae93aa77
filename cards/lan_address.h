// The computer's address on the local network: the first IPv4 address of the
// interface that carries the first IPv4 default route.
#pragma once
#include <string>
#include <vector>

// One row of the IPv4 route table, in the table's own order.
struct RouteRow {
  unsigned destination = 0;      // 0 for a default route
  unsigned interface_index = 0;  // 0 when the interface is unknown
};

// One address of an interface, in the order the system lists them.
struct InterfaceAddress {
  unsigned interface_index = 0;
  bool is_ipv4 = false;
  std::string text;  // dotted decimal; "" when it could not be formatted
};

enum class LanStatus { kFound, kNoDefaultRoute, kNoAddressList, kNoUsableAddress };

struct LanLookup {
  LanStatus status = LanStatus::kNoDefaultRoute;
  std::string address;  // set only when found
};

// Only the first row with destination 0 counts (index 0 there: no route);
// the first IPv4 address of its interface whose text is not exactly
// "127.0.0.1" is the result. Later default routes are never looked at.
LanLookup select_lan_address(const std::vector<RouteRow>& routes,
                             const std::vector<InterfaceAddress>& addresses);

// Reads this computer's route table and addresses and applies
// select_lan_address. Fails with kNoDefaultRoute when the table cannot be
// read and kNoAddressList when the addresses cannot.
LanLookup find_lan_address();

// The rows of a /proc/net/route text (header line first; Iface and
// Destination in hex as the kernel writes it), with `index_of` naming each
// interface's index. Lines that cannot be read are skipped.
std::vector<RouteRow> parse_route_table(const std::string& text,
                                        unsigned (*index_of)(const char* name));
