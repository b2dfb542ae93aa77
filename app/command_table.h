// Every command, by exact name, and the sentences their failures give.
#pragma once
#include <string>

#include "app/bridge.h"

// Called inside a catch block: the user's sentence for the exception being
// handled (a closed contest, a number that cannot be read, a folder that
// cannot be made, a database failure). Rethrows any other exception.
std::string describe_command_failure();

// Fills `table` with every command and describe_command_failure; called
// once, before the worker starts.
void initialize_functions(CommandTable& table);
