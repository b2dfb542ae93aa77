// The card lines and their QR codes for the page's Wi-Fi section.
#pragma once
#include <string>

// placing line, placing SVG, reasons line, reasons SVG; "" without a LAN address.
std::string fetch_wifi_addresses(const std::string& ignored);
