// CSV text for spreadsheets: comma-separated fields, RFC 4180 quoting,
// CRLF line ends, and a UTF-8 byte order mark so that spreadsheet programs
// read non-ASCII names as UTF-8 rather than the local code page.
#pragma once
#include <string>
#include <vector>

using CsvRow = std::vector<std::string>;

// One field as written: unchanged unless it holds a comma, a double quote,
// CR or LF, in which case it is wrapped in double quotes and each double
// quote inside is doubled. Any bytes pass through unchanged otherwise.
std::string csv_field(const std::string& text);

// The fields joined by commas, ended with CRLF. An empty row is a CRLF alone.
std::string csv_line(const CsvRow& row);

// The byte order mark, the header line, then one line per row.
std::string csv_document(const CsvRow& header, const std::vector<CsvRow>& rows);
