// A QR code as an SVG document, one square per dark module.
#pragma once
#include <qrcodegen.hpp>
#include <string>

// The SVG text of `code` with a light margin of `border` modules (>= 0; a
// negative border raises std::invalid_argument). Lines end in a line feed;
// the view box is 0 0 N N with N = size + 2 * border.
std::string qr_to_svg(const qrcodegen::QrCode& code, int border);

// `text` encoded at error-correction level medium (raised where the chosen
// version still holds the text), drawn with a border of 4.
std::string text_to_qr_svg(const std::string& text);
