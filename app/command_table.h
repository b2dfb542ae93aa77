// Every command, by exact name.
#pragma once
#include "app/bridge.h"

// Fills `table` with every command; called once, before the worker starts.
void initialize_functions(CommandTable& table);
