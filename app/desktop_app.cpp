#include "app/desktop_app.h"

#include <cstring>
#include <future>
#include <memory>

#include "app/core_run.h"
#include "app/desktop.h"
#include "cards/card_server.h"
#include "store/contest.h"

bool wants_automation(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--automation") == 0) return true;
  return false;
}

void WindowReplySink::deliver_reply(std::string reply) {
  Window& window = window_;
  window.dispatch([&window, reply = std::move(reply)] { window.post_message(reply); });
}

std::string choose_file_on_window_thread(Window& window, const std::string& folder) {
  auto answer = std::make_shared<std::promise<std::string>>();
  std::future<std::string> chosen = answer->get_future();
  window.dispatch([&window, folder, answer] {
    window.choose_contest_file(folder,
                               [answer](const std::string& path) { answer->set_value(path); });
  });
  answer.reset();  // only the dispatched task may fulfil it now
  try {
    return chosen.get();
  } catch (const std::future_error&) {
    return std::string();  // the window closed before the dialog could show
  }
}

int run_desktop_app(Window& window, Core& core, int card_port) {
  set_contest_platform({user_desktop_folder, [&window](const std::string& folder) {
                          return choose_file_on_window_thread(window, folder);
                        }});
  WindowReplySink sink(window);
  run_core(core, sink, card_port, [&window, &core](CardServer& card_server) {
    window.run({[&core](const std::string& message) { on_web_message(core, message); },
                [&card_server] { card_server.stop(); }});
  });
  return 0;
}
