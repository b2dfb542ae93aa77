// ringtally: the organiser's window. Reads no command line except
// --automation, which lets a WebDriver session drive the window.
#include <memory>
#include <string>

#include "app/command_table.h"
#include "app/desktop_app.h"
#include "app/folder_opener.h"
#include "app/window.h"
#include "cards/card_routes.h"
#include "scoring/results_export.h"
#include "ui/pages.h"

int main(int argc, char** argv) {
  WindowSettings settings{"Ringtally Zuzu", ui::main_page, wants_automation(argc, argv)};
  std::string failure;
  std::unique_ptr<Window> window = create_window(settings, &failure);
  if (!window) return 1;
  Core core;
  initialize_functions(core.table);
  set_folder_opener(open_folder_in_file_manager);
  return run_desktop_app(*window, core, kCardPort);
}
