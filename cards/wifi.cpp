#include "cards/wifi.h"

#include "cards/card_routes.h"
#include "cards/lan_address.h"
#include "cards/qr_svg.h"
#include "store/field_list.h"

std::string card_lines_with_qr(const std::string& address) {
  std::string base = "http://" + address + ":" + std::to_string(kCardPort);
  std::string placing = "Placing Card: " + base + kPlacingPagePath;
  std::string reasons = "Reasons Card: " + base + kReasonsPagePath;
  return placing + kFieldSeparator + text_to_qr_svg(placing) + kFieldSeparator + reasons +
         kFieldSeparator + text_to_qr_svg(reasons);
}

std::string fetch_wifi_addresses(const std::string&) {
  LanLookup lookup = find_lan_address();
  if (lookup.status != LanStatus::kFound) return std::string();
  return card_lines_with_qr(lookup.address);
}
