// The desktop window: one top-level window filled by one browser view that
// shows the main page. The toolkit stays behind this interface (the GTK and
// WebKitGTK backend is window_gtk.cpp); the rest of the application reaches
// the window thread only through `dispatch`.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>

struct WindowSettings {
  std::string title;        // its first size comes from scaled_window_size
  std::string_view page;    // the whole HTML document, shown as is
  bool automation = false;  // let a WebDriver session drive the view
};

// Called on the window thread.
struct WindowHandlers {
  std::function<void(const std::string& message)> on_message;  // page -> host
  std::function<void()> on_closing;  // first step of closing, before the view goes
};

class Window {
 public:
  virtual ~Window() = default;

  // Any thread: runs `task` on the window thread after every task
  // dispatched before it. Once the window is closing, the task is destroyed
  // without running, so a thread waiting on what it holds is released.
  virtual void dispatch(std::function<void()> task) = 0;

  // Window thread: delivers `message` to the page as the `data` of a
  // `message` event. Dropped when the view is gone.
  virtual void post_message(const std::string& message) = 0;

  // Window thread: shows the modal open-file dialog for a contest database,
  // starting in `folder`, and calls `done` once with the chosen path, or ""
  // on cancel, failure or when the window closes meanwhile.
  virtual void choose_contest_file(const std::string& folder,
                                   std::function<void(const std::string& path)> done) = 0;

  // Shows the window, loads the page and runs the window thread's loop until
  // the window has closed (close box, SIGINT or SIGTERM, or the end of an
  // automation session). By then `on_closing` has run, the browser's
  // website data has been cleared and the view is gone.
  virtual void run(WindowHandlers handlers) = 0;
};

// Creates the window (not yet shown). Null, with the sentence to show in
// `failure`, when it cannot be created; the sentence is also shown to the
// user when the display allows it.
std::unique_ptr<Window> create_window(const WindowSettings& settings, std::string* failure);
