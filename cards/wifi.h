// The card lines and their QR codes for the page's Wi-Fi section.
#pragma once
#include <string>

// Placing line, placing SVG, reasons line, reasons SVG for `address`
// (dotted decimal), as a FieldList. The lines name kCardPort and the two
// card page paths of card_routes.h.
std::string card_lines_with_qr(const std::string& address);

// Command: argument ignored. card_lines_with_qr of find_lan_address, or ""
// when no LAN address is found. Needs no open contest.
std::string fetch_wifi_addresses(const std::string& ignored);
