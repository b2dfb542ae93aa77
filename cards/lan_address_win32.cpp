// Reads the IPv4 route table and the adapters' addresses through the IP
// Helper functions.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <optional>
#include <vector>

#include "cards/lan_address.h"
#include "cards/listen_socket.h"

namespace {

// Each table is asked for twice: once for its size, then into a zeroed
// buffer of that size.
std::optional<std::vector<RouteRow>> read_routes() {
  ULONG size = 0;
  if (GetIpForwardTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0) return std::nullopt;
  std::vector<unsigned char> buffer(size, 0);
  auto* table = reinterpret_cast<MIB_IPFORWARDTABLE*>(buffer.data());
  if (GetIpForwardTable(table, &size, FALSE) != NO_ERROR) return std::nullopt;
  std::vector<RouteRow> rows;
  for (DWORD i = 0; i < table->dwNumEntries; ++i)
    rows.push_back({table->table[i].dwForwardDest, table->table[i].dwForwardIfIndex});
  return rows;
}

std::optional<std::vector<InterfaceAddress>> read_addresses() {
  ULONG size = 0;
  if (GetAdaptersAddresses(AF_INET, 0, nullptr, nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0)
    return std::nullopt;
  std::vector<unsigned char> buffer(size, 0);
  auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
  if (GetAdaptersAddresses(AF_INET, 0, nullptr, adapters, &size) != NO_ERROR) return std::nullopt;
  std::vector<InterfaceAddress> addresses;
  for (IP_ADAPTER_ADDRESSES* adapter = adapters; adapter; adapter = adapter->Next) {
    for (IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
      InterfaceAddress address;
      address.interface_index = adapter->IfIndex;
      const sockaddr* socket_address = unicast->Address.lpSockaddr;
      address.is_ipv4 = socket_address && socket_address->sa_family == AF_INET;
      if (address.is_ipv4) {
        char text[22] = {};
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(socket_address);
        if (inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text)) address.text = text;
      }
      addresses.push_back(std::move(address));
    }
  }
  return addresses;
}

}  // namespace

LanLookup find_lan_address() {
  SocketLibrary sockets;
  if (!sockets.started()) return {LanStatus::kNoDefaultRoute, ""};
  auto routes = read_routes();
  if (!routes) return {LanStatus::kNoDefaultRoute, ""};
  auto addresses = read_addresses();
  if (!addresses) return {LanStatus::kNoAddressList, ""};
  return select_lan_address(*routes, *addresses);
}
