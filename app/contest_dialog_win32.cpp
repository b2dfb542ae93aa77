#include <objbase.h>
#include <shobjidl.h>
#include <windows.h>

#include "app/contest_dialog.h"
#include "app/text.h"

namespace {

std::wstring wide(const std::string& text) {
  std::u16string converted = utf8_to_utf16(text);
  return std::wstring(converted.begin(), converted.end());
}

// Releases a COM interface when it goes out of scope.
template <typename T>
struct Released {
  T* p = nullptr;
  ~Released() {
    if (p) p->Release();
  }
};

const COMDLG_FILTERSPEC kFileTypes[] = {
    {L"Contest Database", L"contest.db"},
    {L"Database Files", L"*.db"},
    {L"All Files", L"*.*"},
};

std::string run_dialog(HWND owner, const std::string& folder) {
  Released<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_ALL, IID_IFileOpenDialog,
                              reinterpret_cast<void**>(&dialog.p))))
    return std::string();
  dialog.p->SetOptions(FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_FILEMUSTEXIST);
  wchar_t full[MAX_PATH * 4];
  DWORD length = folder.empty() ? 0 : GetFullPathNameW(wide(folder).c_str(), MAX_PATH * 4, full, nullptr);
  if (length > 0 && length < MAX_PATH * 4) {
    Released<IShellItem> start;
    if (SUCCEEDED(SHCreateItemFromParsingName(full, nullptr, IID_IShellItem, reinterpret_cast<void**>(&start.p))))
      dialog.p->SetFolder(start.p);
  }
  dialog.p->SetFileTypes(static_cast<UINT>(std::size(kFileTypes)), kFileTypes);
  dialog.p->SetFileTypeIndex(1);  // counted from 1
  dialog.p->SetFileName(L"contest.db");
  if (FAILED(dialog.p->Show(owner))) return std::string();  // cancelled, or failed
  Released<IShellItem> chosen;
  if (FAILED(dialog.p->GetResult(&chosen.p))) return std::string();
  PWSTR path = nullptr;
  std::string result;
  if (SUCCEEDED(chosen.p->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path)
    result = utf16_to_utf8(reinterpret_cast<const char16_t*>(path));
  CoTaskMemFree(path);
  return result;
}

}  // namespace

std::string show_contest_file_dialog(void* owner, const std::string& folder) {
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  std::string path = run_dialog(static_cast<HWND>(owner), folder);
  if (SUCCEEDED(com)) CoUninitialize();
  return path;
}
