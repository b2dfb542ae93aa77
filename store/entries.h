// Shapes shared by the setup and placings commands: deleting an entry named
// by the whole argument, and binding fields that may be absent.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "store/database.h"

// The delete command shape: "none" answers "" without touching the database
// (not even checking that a contest is open); otherwise runs `sql` with
// parameter 1 read_int(argument). "" when the statement completed (also when
// no row matched), kConsistencyError when it was refused.
std::string delete_entry(const char* sql, const std::string& argument);

// Optional trailing fields: the page sends an empty last field, which
// split_fields drops, so the field counts only when exactly `count` fields
// arrived. Then it is fields[count - 1] (as read_int, or as received);
// otherwise nothing, bound as NULL.
std::optional<int> optional_int_field(const std::vector<std::string>& fields, size_t count);
std::optional<std::string> optional_text_field(const std::vector<std::string>& fields, size_t count);

// Binds the value, or NULL when there is none.
void bind_optional_int(Statement& statement, int index, const std::optional<int>& value);
void bind_optional_text(Statement& statement, int index, const std::optional<std::string>& value);
