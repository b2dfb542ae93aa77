#include <gio/gio.h>

#include "app/folder_opener.h"

bool open_folder_in_file_manager(const std::string& folder) {
  gchar* uri = g_filename_to_uri(folder.c_str(), nullptr, nullptr);
  if (!uri) return false;
  GError* error = nullptr;
  const gboolean launched = g_app_info_launch_default_for_uri(uri, nullptr, &error);
  if (error) g_error_free(error);
  g_free(uri);
  return launched;
}
