// The application's own window where the page shows in a browser beside it
// (Windows without the embedded browser): class "DesktopApp", titled
// "Ringtally Zuzu", 1040 by 640 at 96 dpi and scaled with the display; one
// line of text and two buttons, "Open Ringtally" and "Quit".
#pragma once
#include <functional>
#include <memory>
#include <string>

// Called on the window thread.
struct LauncherHandlers {
  std::function<void()> open_page;  // "Open Ringtally"
  // The window is going: close box, "Quit", or the end of the Windows
  // session (log-off, shut-down). Returns once the application has shut
  // down, since at the end of a session the process may go right after.
  std::function<void()> end;
};

class LauncherWindow {
 public:
  // Registers the class and creates the window (not yet shown), with the
  // process made per-monitor DPI aware. Null, with the sentence to show in
  // `failure`, when the class or the window cannot be made.
  static std::unique_ptr<LauncherWindow> create(std::string* failure);
  ~LauncherWindow();

  // The native window handle, as an owner for dialogs.
  void* handle() const;
  // Any thread: replaces the line of text.
  void set_text(const std::string& line);
  // Any thread: runs `task` on the window thread; dropped once the window
  // is gone.
  void post(std::function<void()> task);
  // Shows the window and runs its loop until the window has gone and
  // `handlers.end` has returned.
  void run(const LauncherHandlers& handlers, int show_command);

 private:
  LauncherWindow();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
