#include "store/field_list.h"

#include <stdexcept>

std::vector<std::string> split_fields(const std::string& text) {
  std::vector<std::string> fields;
  std::string piece;
  bool started = false;
  for (char c : text) {
    if (c == kFieldSeparator) {
      fields.push_back(std::move(piece));
      piece.clear();
      started = false;
    } else {
      piece += c;
      started = true;
    }
  }
  if (started) fields.push_back(std::move(piece));
  return fields;
}

bool is_none(const std::string& field) {
  return field == "none";
}

int read_int(const std::string& text) {
  return std::stoi(text);
}

const std::string& field_at(const std::vector<std::string>& fields, size_t index) {
  if (index >= fields.size()) throw std::out_of_range("missing field");
  return fields[index];
}
