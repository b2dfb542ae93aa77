// The system's open dialog for a contest file, where the window is a native
// one (Windows).
#pragma once
#include <string>

// Shows the common item dialog for opening a file, owned by `owner` (a
// window handle; null for none), starting in `folder` (UTF-8, made a full
// path first; "" leaves the dialog's own choice): file types "Contest
// Database" (contest.db), "Database Files" (*.db) and "All Files" (*.*), the
// first selected, and the name box preset to "contest.db". Runs on the calling thread, with COM
// started there for the call, and blocks until the dialog closes. Returns
// the chosen file's path as UTF-8, or "" on cancel or any failure.
std::string show_contest_file_dialog(void* owner, const std::string& folder);
