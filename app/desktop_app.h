// The desktop application's life: start the worker and the card server
// around a window, run until the window closes, then shut down in order.
#pragma once
#include <string>

#include "app/bridge.h"
#include "app/window.h"

// True when the arguments hold "--automation" (the WebKitGTK convention for
// a browser that WebDriver may drive). Nothing else is read.
bool wants_automation(int argc, const char* const* argv);

// Delivers page replies through `window`'s dispatch, in order.
class WindowReplySink : public ReplySink {
 public:
  explicit WindowReplySink(Window& window) : window_(window) {}
  void deliver_reply(std::string reply) override;

 private:
  Window& window_;
};

// Worker thread: asks the window thread for a contest file and waits for the
// answer; "" when cancelled or when the window closes first.
std::string choose_file_on_window_thread(Window& window, const std::string& folder);

// Runs the application in `window` with `core` (its command table filled):
// the worker, the card server on `card_port` (0: none), the window's loop;
// then the card server is stopped, the worker stopped and woken, both
// threads joined and the database closed. Returns the exit code, 0.
int run_desktop_app(Window& window, Core& core, int card_port);
