#include <objbase.h>
#include <shlobj.h>

#include "app/desktop.h"
#include "app/text.h"

// The Desktop known folder of the current user. COM is started for the
// lookup and stopped again only when this call started it.
std::string user_desktop_folder() {
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  PWSTR wide = nullptr;
  std::string folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &wide)) && wide)
    folder = utf16_to_utf8(reinterpret_cast<const char16_t*>(wide));
  CoTaskMemFree(wide);
  if (SUCCEEDED(com)) CoUninitialize();
  return folder;
}
