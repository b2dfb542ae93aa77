// Showing a folder in the desktop's file manager.
#pragma once
#include <string>

// Asks the desktop (through GIO) to open `folder`, given as a UTF-8 path,
// with its default handler for folders. Any thread; returns without waiting
// for the file manager. False when the path is not absolute or no handler
// could be started.
bool open_folder_in_file_manager(const std::string& folder);
