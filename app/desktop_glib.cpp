#include <glib.h>

#include "app/desktop.h"

std::string user_desktop_folder() {
  const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DESKTOP);
  return folder ? folder : "";
}
