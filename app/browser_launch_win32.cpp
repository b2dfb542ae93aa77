#include <windows.h>
#include <shellapi.h>

#include "app/browser_launch.h"
#include "app/text.h"

namespace {

const wchar_t kEdgeAppPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msedge.exe";

std::wstring wide(const std::string& text) {
  std::u16string converted = utf8_to_utf16(text);
  return std::wstring(converted.begin(), converted.end());
}

// Edge's executable from App Paths (the user's entry first), or "".
std::wstring edge_executable() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    wchar_t path[MAX_PATH * 2];
    DWORD size = sizeof path;
    if (RegGetValueW(root, kEdgeAppPath, nullptr, RRF_RT_REG_SZ, nullptr, path, &size) == ERROR_SUCCESS &&
        GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
      return path;
  }
  return std::wstring();
}

bool start_edge(const std::wstring& edge, const std::wstring& url) {
  std::wstring command = L"\"" + edge + L"\" --app=" + url;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(edge.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

bool open_in_browser(const std::string& url) {
  std::wstring address = wide(url);
  std::wstring edge = edge_executable();
  if (!edge.empty() && start_edge(edge, address)) return true;
  auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}
