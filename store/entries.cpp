#include "store/entries.h"

std::string delete_entry(const char* sql, const std::string& argument) {
  if (is_none(argument)) return std::string();
  int key = read_int(argument);
  Statement statement(sql);
  statement.bind_int(1, key);
  return run_change(statement);
}

std::optional<int> optional_int_field(const std::vector<std::string>& fields, size_t count) {
  if (fields.size() != count) return std::nullopt;
  return read_int(fields[count - 1]);
}

std::optional<std::string> optional_text_field(const std::vector<std::string>& fields, size_t count) {
  if (fields.size() != count) return std::nullopt;
  return fields[count - 1];
}

void bind_optional_int(Statement& statement, int index, const std::optional<int>& value) {
  if (value)
    statement.bind_int(index, *value);
  else
    statement.bind_null(index);
}

void bind_optional_text(Statement& statement, int index, const std::optional<std::string>& value) {
  if (value)
    statement.bind_text(index, *value);
  else
    statement.bind_null(index);
}
