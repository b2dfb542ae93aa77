// ringtally.exe [--desktop DIR] [--card-port N] [--page-port N] [--no-browser]
//
// The organiser's application on Windows without the embedded browser: a
// small native window, and the page served on 127.0.0.1 to a browser beside
// it (Edge as an app window, or the default browser). Prints
// "Page: <address>" on standard output once the page can be loaded.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "app/browser_launch.h"
#include "app/command_table.h"
#include "app/contest_dialog.h"
#include "app/core_run.h"
#include "app/desktop.h"
#include "app/launcher_window.h"
#include "app/page_app.h"
#include "app/page_server.h"
#include "app/text.h"
#include "store/contest.h"
#include "ui/pages.h"

namespace {

const char kRunningText[] = "Ringtally Zuzu is running. Its page opens in your web browser.";
const char kNoPageText[] = "Ringtally Zuzu could not open its page: the page port is in use.";

std::vector<std::string> arguments() {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i)
    args.push_back(utf16_to_utf8(reinterpret_cast<const char16_t*>(wide[i])));
  LocalFree(wide);
  return args;
}

// Set once by the window thread when the window goes; the core's front end
// waits for it.
class EndSignal {
 public:
  void raise() {
    std::lock_guard<std::mutex> lock(mutex_);
    raised_ = true;
    cond_.notify_all();
  }
  void wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cond_.wait(lock, [this] { return raised_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cond_;
  bool raised_ = false;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  _setmode(_fileno(stdout), _O_BINARY);  // the address line ends in "\n" alone
  PageAppOptions options;
  std::string error;
  if (!parse_page_app_options(arguments(), &options, &error)) {
    fprintf(stderr, "ringtally: %s\n", error.c_str());
    return 2;
  }
  std::string failure;
  std::unique_ptr<LauncherWindow> window = LauncherWindow::create(&failure);
  if (!window) {
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(utf8_to_utf16(failure).c_str()), L"Ringtally Zuzu", MB_OK);
    return 1;
  }
  window->set_text(kRunningText);

  std::string desktop = options.has_desktop ? options.desktop : user_desktop_folder();
  void* owner = window->handle();
  set_contest_platform({[desktop] { return desktop; },
                        [owner](const std::string& folder) { return show_contest_file_dialog(owner, folder); }});

  Core core;
  initialize_functions(core.table);
  PageServer page_server(core, ui::main_page);
  std::mutex url_mutex;
  std::string url;  // empty until the page can be loaded
  EndSignal end;

  // The core runs on a thread of its own, so that the window thread can
  // wait for the whole shutdown when the session ends.
  std::thread core_thread([&] {
    run_core(core, page_server, options.card_port, [&](CardServer&) {
      if (page_server.start(options.page_port)) {
        {
          std::lock_guard<std::mutex> lock(url_mutex);
          url = page_server.url();
        }
        printf("Page: %s\n", page_server.url().c_str());
        fflush(stdout);
        if (options.open_browser) window->post([&] { open_in_browser(page_server.url()); });
      } else {
        window->set_text(kNoPageText);
      }
      end.wait();
      page_server.stop();
      page_server.join();
    });
  });

  LauncherHandlers handlers;
  handlers.open_page = [&] {
    std::lock_guard<std::mutex> lock(url_mutex);
    if (!url.empty()) open_in_browser(url);
  };
  handlers.end = [&] {
    end.raise();
    if (core_thread.joinable()) core_thread.join();
  };
  window->run(handlers, show_command);
  return 0;
}
