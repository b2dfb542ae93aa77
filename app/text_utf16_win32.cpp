// UTF-16 conversion through the system: CP_UTF8 without flags, so each
// ill-formed sequence becomes U+FFFD the way Windows does it elsewhere.
#include <windows.h>

#include <climits>

#include "app/text.h"

std::string utf16_to_utf8(const std::u16string& text) {
  if (text.empty() || text.size() > INT_MAX) return std::string();
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
  int length = static_cast<int>(text.size());
  int size = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, length, out.data(), size, nullptr, nullptr);
  return out;
}

std::u16string utf8_to_utf16(const std::string& text) {
  if (text.empty() || text.size() > INT_MAX) return std::u16string();
  int length = static_cast<int>(text.size());
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return std::u16string();
  std::u16string out(static_cast<size_t>(size), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, reinterpret_cast<wchar_t*>(out.data()), size);
  return out;
}
