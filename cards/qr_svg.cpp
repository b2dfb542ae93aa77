#include "cards/qr_svg.h"

#include <stdexcept>

std::string qr_to_svg(const qrcodegen::QrCode& code, int border) {
  if (border < 0) throw std::invalid_argument("The QR border must not be negative.");
  int size = code.getSize();
  std::string extent = std::to_string(size + 2 * border);
  std::string path;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      if (!code.getModule(x, y)) continue;
      if (!path.empty()) path += ' ';
      path += "M" + std::to_string(x + border) + "," + std::to_string(y + border) + "h1v1h-1z";
    }
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
         "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n"
         "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" viewBox=\"0 0 " +
         extent + " " + extent + "\" stroke=\"none\">\n" +
         "\t<rect width=\"100%\" height=\"100%\" fill=\"#FFFFFF\"/>\n" +
         "\t<path d=\"" + path + "\" fill=\"#000000\"/>\n" + "</svg>\n";
}

std::string text_to_qr_svg(const std::string& text) {
  using qrcodegen::QrCode;
  return qr_to_svg(QrCode::encodeText(text.c_str(), QrCode::Ecc::MEDIUM), 4);
}
