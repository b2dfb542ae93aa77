#include "cards/qr_svg.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>

#include "app/text.h"
#include "cards/qr_scan_for_tests.h"
#include "cards/wifi.h"
#include "store/database.h"
#include "tests/test_support.h"

namespace {

using qrcodegen::QrCode;

const char kPlacingLine[] = "Placing Card: http://192.168.1.20:56780/placing";
const char kReasonsLine[] = "Reasons Card: http://192.168.1.20:56780/reasons";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0, end;
  while ((end = text.find('\n', start)) != std::string::npos) {
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  EXPECT_EQ(start, text.size()) << "the last line must end in a line feed";
  return lines;
}

TEST(QrToSvg, WritesTheHeaderAndOneSquarePerDarkModuleRowByRow) {
  QrCode code = QrCode::encodeText(kPlacingLine, QrCode::Ecc::MEDIUM);
  ASSERT_EQ(code.getSize(), 33);
  std::vector<std::string> lines = lines_of(qr_to_svg(code, 4));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], R"(<?xml version="1.0" encoding="UTF-8"?>)");
  EXPECT_EQ(lines[1], R"(<!DOCTYPE svg PUBLIC "-//W3C//DTD SVG 1.1//EN" )"
                      R"("http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd">)");
  EXPECT_EQ(lines[2], R"(<svg xmlns="http://www.w3.org/2000/svg" version="1.1" )"
                      R"(viewBox="0 0 41 41" stroke="none">)");
  EXPECT_EQ(lines[3], "\t<rect width=\"100%\" height=\"100%\" fill=\"#FFFFFF\"/>");
  EXPECT_EQ(lines[5], "</svg>");

  std::smatch path;
  ASSERT_TRUE(std::regex_match(lines[4], path, std::regex("\t<path d=\"([^\"]*)\" fill=\"#000000\"/>")));
  std::string d = path[1];
  EXPECT_EQ(d.rfind("M4,4h1v1h-1z M5,4h1v1h-1z", 0), 0u) << d.substr(0, 40);
  // Read the squares back: exactly the dark modules, in row-major order,
  // separated by single blanks.
  std::regex square("M(\\d+),(\\d+)h1v1h-1z");
  std::set<std::pair<int, int>> drawn;
  long previous = -1;
  size_t at = 0;
  for (auto it = std::sregex_iterator(d.begin(), d.end(), square); it != std::sregex_iterator(); ++it) {
    ASSERT_EQ(static_cast<size_t>(it->position()), at + (at ? 1 : 0)) << "at " << at;
    if (at) {
      EXPECT_EQ(d[at], ' ');
    }
    at = it->position() + it->length();
    int x = std::stoi((*it)[1]) - 4, y = std::stoi((*it)[2]) - 4;
    EXPECT_GT(y * 33L + x, previous);
    previous = y * 33L + x;
    drawn.insert({x, y});
  }
  EXPECT_EQ(at, d.size());
  std::set<std::pair<int, int>> dark;
  for (int y = 0; y < 33; ++y)
    for (int x = 0; x < 33; ++x)
      if (code.getModule(x, y)) dark.insert({x, y});
  EXPECT_EQ(drawn, dark);
}

TEST(QrToSvg, BorderSetsTheOffsetAndTheViewBox) {
  QrCode code = QrCode::encodeText("A", QrCode::Ecc::MEDIUM);
  std::string svg = qr_to_svg(code, 0);
  EXPECT_NE(svg.find("viewBox=\"0 0 21 21\""), std::string::npos);
  EXPECT_NE(svg.find("<path d=\"M0,0h1v1h-1z "), std::string::npos);
  EXPECT_THROW(qr_to_svg(code, -1), std::invalid_argument);
}

TEST(CardLinesWithQr, GivesBothLinesEachFollowedByItsCode) {
  std::vector<std::string> parts = split_fields(card_lines_with_qr("192.168.1.20"));
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_EQ(parts[0], kPlacingLine);
  EXPECT_EQ(parts[2], kReasonsLine);
  EXPECT_EQ(parts[1], qr_to_svg(QrCode::encodeText(kPlacingLine, QrCode::Ecc::MEDIUM), 4));
  EXPECT_EQ(parts[3], qr_to_svg(QrCode::encodeText(kReasonsLine, QrCode::Ecc::MEDIUM), 4));
}

}  // namespace

bool qr_scan_tools_present() {
  return std::system("command -v rsvg-convert >/dev/null 2>&1 && command -v zbarimg >/dev/null 2>&1") == 0;
}

std::string scan_qr_svg(const std::string& svg) {
  TempDir dir;
  std::string svg_path = dir.path() + "/code.svg", png_path = dir.path() + "/code.png";
  std::ofstream(svg_path) << svg;
  std::string render = "rsvg-convert --zoom 8 -o '" + png_path + "' '" + svg_path + "'";
  if (std::system(render.c_str()) != 0) return "";
  std::string scan = "zbarimg --quiet --raw '" + png_path + "'";
  FILE* pipe = popen(scan.c_str(), "r");
  if (!pipe) return "";
  std::string out;
  char chunk[512];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
  pclose(pipe);
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

namespace {

TEST(QrToSvg, ScannedCodesGiveTheWholeCardLine) {
  if (!qr_scan_tools_present())
    GTEST_SKIP() << "rsvg-convert (librsvg2-bin) and zbarimg (zbar-tools) are needed to scan codes";
  std::vector<std::string> parts = split_fields(card_lines_with_qr("192.168.1.20"));
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_EQ(scan_qr_svg(parts[1]), kPlacingLine);
  EXPECT_EQ(scan_qr_svg(parts[3]), kReasonsLine);
  std::string longest = card_lines_with_qr("255.255.255.255");
  EXPECT_EQ(scan_qr_svg(split_fields(longest).at(3)),
            "Reasons Card: http://255.255.255.255:56780/reasons");
}

}  // namespace
