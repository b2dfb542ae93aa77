#include "cards/lan_address.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const unsigned kEth = 2, kWlan = 3, kLo = 1;

InterfaceAddress ipv4(unsigned index, const char* text) { return {index, true, text}; }
InterfaceAddress ipv6(unsigned index, const char* text) { return {index, false, text}; }

TEST(SelectLanAddress, FollowsTheFirstDefaultRouteToItsFirstUsableIPv4Address) {
  const RouteRow lan_subnet = {0x0001A8C0, kEth};  // 192.168.1.0, little-endian as read
  struct Case {
    const char* name;
    std::vector<RouteRow> routes;
    std::vector<InterfaceAddress> addresses;
    LanStatus status;
    const char* address;
  } cases[] = {
      {"one interface", {lan_subnet, {0, kEth}}, {ipv4(kLo, "127.0.0.1"), ipv4(kEth, "192.168.1.20")},
       LanStatus::kFound, "192.168.1.20"},
      {"two default routes: the first decides", {{0, kWlan}, {0, kEth}},
       {ipv4(kEth, "192.168.1.20"), ipv4(kWlan, "10.0.0.7")}, LanStatus::kFound, "10.0.0.7"},
      {"the first default route's interface has no address", {{0, kWlan}, {0, kEth}},
       {ipv4(kEth, "192.168.1.20")}, LanStatus::kNoUsableAddress, ""},
      {"two addresses: the first", {{0, kEth}},
       {ipv4(kEth, "192.168.1.20"), ipv4(kEth, "192.168.1.21")}, LanStatus::kFound, "192.168.1.20"},
      {"loopback only", {{0, kLo}}, {ipv4(kLo, "127.0.0.1"), ipv4(kEth, "192.168.1.20")},
       LanStatus::kNoUsableAddress, ""},
      {"other loopback addresses count", {{0, kLo}}, {ipv4(kLo, "127.0.0.1"), ipv4(kLo, "127.0.1.1")},
       LanStatus::kFound, "127.0.1.1"},
      {"IPv6 only", {{0, kEth}}, {ipv6(kEth, ""), ipv4(kWlan, "10.0.0.7")},
       LanStatus::kNoUsableAddress, ""},
      {"IPv6 before IPv4", {{0, kEth}}, {ipv6(kEth, ""), ipv4(kEth, "192.168.1.20")},
       LanStatus::kFound, "192.168.1.20"},
      {"an address that could not be formatted is skipped", {{0, kEth}},
       {ipv4(kEth, ""), ipv4(kEth, "192.168.1.20")}, LanStatus::kFound, "192.168.1.20"},
      {"no default route", {lan_subnet}, {ipv4(kEth, "192.168.1.20")}, LanStatus::kNoDefaultRoute, ""},
      {"no routes at all", {}, {}, LanStatus::kNoDefaultRoute, ""},
      {"a default route on interface 0", {{0, 0}, {0, kEth}}, {ipv4(kEth, "192.168.1.20")},
       LanStatus::kNoDefaultRoute, ""},
      {"no addresses", {{0, kEth}}, {}, LanStatus::kNoUsableAddress, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LanLookup lookup = select_lan_address(c.routes, c.addresses);
    EXPECT_EQ(lookup.status, c.status);
    EXPECT_EQ(lookup.address, c.address);
  }
}

unsigned fake_index(const char* name) {
  if (!strcmp(name, "eth0")) return kEth;
  if (!strcmp(name, "wlan0")) return kWlan;
  return 0;
}

TEST(ParseRouteTable, KeepsKernelOrderDestinationsAndInterfaceIndexes) {
  const char table[] =
      "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
      "wlan0\t0000000A\t00000000\t0001\t0\t0\t600\t00FFFFFF\t0\t0\t0\n"
      "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
      "wlan0\t00000000\t0100000A\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
      "broken line\n"
      "tun9\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n";
  std::vector<RouteRow> rows = parse_route_table(table, fake_index);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].destination, 0x0000000Au);  // 10.0.0.0 as the kernel writes it
  EXPECT_EQ(rows[0].interface_index, kWlan);
  EXPECT_EQ(rows[1].destination, 0u);
  EXPECT_EQ(rows[1].interface_index, kEth);
  EXPECT_EQ(rows[2].interface_index, kWlan);
  EXPECT_EQ(rows[3].interface_index, 0u);  // an interface that no longer exists
  EXPECT_EQ(select_lan_address(rows, {ipv4(kWlan, "10.0.0.7"), ipv4(kEth, "192.168.1.20")}).address,
            "192.168.1.20");
  EXPECT_TRUE(parse_route_table("", fake_index).empty());
}

}  // namespace
