// FieldList: the texts a command receives and answers, fields joined by one
// separator character without escaping, and the reading of its fields.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The character between the fields of every argument and listing (U+001F).
constexpr char kFieldSeparator = '\x1f';

// Cuts at every kFieldSeparator. The empty text gives no fields and a
// trailing separator adds no empty last field; inner or leading empties are
// kept.
std::vector<std::string> split_fields(const std::string& text);

// The marker for an entry that does not exist yet.
bool is_none(const std::string& field);

// Decimal conversion like std::stoi: leading blanks, an optional sign, digits
// up to the first non-digit. Raises std::invalid_argument without digits and
// std::out_of_range outside the 32-bit signed range.
int read_int(const std::string& text);

// fields[index], or std::out_of_range when fewer fields arrived.
const std::string& field_at(const std::vector<std::string>& fields, size_t index);
