// Test helper (defined in qr_svg_test.cpp): renders an SVG with rsvg-convert
// and reads the QR code back with zbarimg.
#pragma once
#include <string>

// True when both tools are installed.
bool qr_scan_tools_present();
// The decoded text, or "" when nothing could be read.
std::string scan_qr_svg(const std::string& svg);
