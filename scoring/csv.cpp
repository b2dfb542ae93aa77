#include "scoring/csv.h"

namespace {
const char kByteOrderMark[] = "\xEF\xBB\xBF";
const char kLineEnd[] = "\r\n";
}  // namespace

std::string csv_field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string csv_line(const CsvRow& row) {
  std::string line;
  for (size_t i = 0; i < row.size(); ++i) {
    if (i) line += ',';
    line += csv_field(row[i]);
  }
  return line + kLineEnd;
}

std::string csv_document(const CsvRow& header, const std::vector<CsvRow>& rows) {
  std::string document = kByteOrderMark;
  document += csv_line(header);
  for (const CsvRow& row : rows) document += csv_line(row);
  return document;
}
