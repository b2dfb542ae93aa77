// The Windows platform files, run on Windows (or under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>
#include <vector>

#include "app/contest_dialog.h"
#include "app/desktop.h"
#include "app/launcher_window.h"
#include "app/text.h"
#include "app/window_geometry.h"

namespace {

std::wstring text_of(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

TEST(DesktopFolder, IsTheUsersDesktopAndExists) {
  std::string folder = user_desktop_folder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::u8path(folder))) << folder;
}

TEST(Utf16, GoesThroughTheSystemBothWays) {
  const std::string text = "Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x90\x84";
  EXPECT_EQ(utf8_to_utf16(text), u"Zo\u00EB \u65E5\u672C \U0001F404");
  EXPECT_EQ(utf16_to_utf8(utf8_to_utf16(text)), text);
  EXPECT_EQ(utf8_to_utf16(""), u"");
  EXPECT_EQ(utf16_to_utf8(u""), "");
}

// The system decides how many U+FFFD an ill-formed sequence becomes (the
// written-out conversion of the Linux build is stricter, and its own test
// pins that); what holds everywhere is that nothing ill-formed comes out,
// every bad sequence leaves at least one U+FFFD, and the text around it
// survives.
TEST(Utf16, IllFormedInputBecomesReplacementCharactersOnly) {
  for (const std::string bytes : {"a\xFF" "b", "a\xC3" "b", "a\xC0\xAF" "b", "a\xED\xA0\x80" "b", "a\xE2\x82" "b"}) {
    std::u16string wide = utf8_to_utf16(bytes);
    ASSERT_GE(wide.size(), 3u) << bytes;
    EXPECT_EQ(wide.front(), u'a');
    EXPECT_EQ(wide.back(), u'b');
    for (size_t i = 1; i + 1 < wide.size(); ++i) EXPECT_EQ(wide[i], u'\uFFFD') << bytes;
  }
  std::u16string lone = u"x";
  lone += char16_t(0xD800);
  lone += u"y";
  EXPECT_EQ(utf16_to_utf8(lone), "x\xEF\xBF\xBDy");
}

// The open dialog's controls, as the system built them.
struct DialogControls {
  HWND dialog = nullptr;
  std::vector<HWND> edits;
  std::vector<std::vector<std::wstring>> combo_items;
};

BOOL CALLBACK collect_control(HWND control, LPARAM data) {
  auto* found = reinterpret_cast<DialogControls*>(data);
  wchar_t kind[64] = {};
  GetClassNameW(control, kind, 64);
  if (lstrcmpiW(kind, L"Edit") == 0) found->edits.push_back(control);
  if (lstrcmpiW(kind, L"ComboBox") == 0) {
    std::vector<std::wstring> items;
    LRESULT count = SendMessageW(control, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      wchar_t item[256] = {};
      if (SendMessageW(control, CB_GETLBTEXTLEN, i, 0) < 255) SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
      items.push_back(item);
    }
    found->combo_items.push_back(items);
  }
  return TRUE;
}

// Waits for this process's dialog window (class #32770) to show.
DialogControls wait_for_dialog() {
  DialogControls found;
  for (int i = 0; i < 300 && !found.dialog; ++i) {
    HWND dialog = FindWindowW(L"#32770", nullptr);
    DWORD process = 0;
    if (dialog) GetWindowThreadProcessId(dialog, &process);
    if (dialog && process == GetCurrentProcessId() && IsWindowVisible(dialog)) found.dialog = dialog;
    else std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (found.dialog) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let it fill its controls
    EnumChildWindows(found.dialog, collect_control, reinterpret_cast<LPARAM>(&found));
  }
  return found;
}

// The dialog runs on a thread of its own, as on the worker; this thread
// reads and drives its controls the way a user would.
TEST(ContestFileDialog, OffersTheContestTypesAndNameAndAnswersTheChoice) {
  std::filesystem::path folder = std::filesystem::temp_directory_path() / u8"ringtally dialog Zoë";
  std::filesystem::create_directories(folder / "Fair");
  std::ofstream(folder / "Fair" / "contest.db") << "x";
  const std::string folder_text = folder.u8string();

  auto chosen = std::async(std::launch::async, [&] { return show_contest_file_dialog(nullptr, folder_text); });
  DialogControls controls = wait_for_dialog();
  ASSERT_TRUE(controls.dialog) << "no open dialog appeared";
  HWND name_box = nullptr;
  for (HWND edit : controls.edits) {
    wchar_t text[256] = {};
    GetWindowTextW(edit, text, 256);
    if (std::wstring(text) == L"contest.db") name_box = edit;
  }
  EXPECT_TRUE(name_box) << "the name box is preset to contest.db";
  bool types_listed = false;
  for (const auto& items : controls.combo_items) {
    if (items.size() != 3) continue;
    types_listed = items[0].find(L"Contest Database") == 0 && items[1].find(L"Database Files") == 0 &&
                   items[2].find(L"All Files") == 0;
  }
  EXPECT_TRUE(types_listed) << "the three file types, in order";
  ASSERT_TRUE(name_box);
  const std::string file = (folder / "Fair" / "contest.db").u8string();
  SetWindowTextW(name_box, reinterpret_cast<const wchar_t*>(utf8_to_utf16(file).c_str()));
  PostMessageW(controls.dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  ASSERT_EQ(chosen.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_EQ(std::filesystem::u8path(chosen.get()), std::filesystem::u8path(file));

  auto cancelled = std::async(std::launch::async, [&] { return show_contest_file_dialog(nullptr, folder_text); });
  controls = wait_for_dialog();
  ASSERT_TRUE(controls.dialog);
  PostMessageW(controls.dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ASSERT_EQ(cancelled.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_EQ(cancelled.get(), "");
  std::filesystem::remove_all(folder);
}

// One window per process: the class is registered once.
TEST(LauncherWindow, ClassTitleSizeButtonsAndOneOrderlyEnd) {
  std::string failure;
  std::unique_ptr<LauncherWindow> launcher = LauncherWindow::create(&failure);
  ASSERT_TRUE(launcher) << failure;
  HWND window = static_cast<HWND>(launcher->handle());
  wchar_t class_name[64] = {};
  GetClassNameW(window, class_name, 64);
  EXPECT_EQ(std::wstring(class_name), L"DesktopApp");
  EXPECT_EQ(text_of(window), L"Ringtally Zuzu");
  RECT outer;
  GetWindowRect(window, &outer);
  WindowSize expected = scaled_window_size(static_cast<int>(GetDpiForSystem()));
  EXPECT_EQ(outer.right - outer.left, expected.width);
  EXPECT_EQ(outer.bottom - outer.top, expected.height);
  EXPECT_TRUE(FindWindowExW(window, nullptr, L"BUTTON", L"Open Ringtally"));
  HWND quit = FindWindowExW(window, nullptr, L"BUTTON", L"Quit");
  ASSERT_TRUE(quit);

  int opened = 0, ended = 0;
  LauncherHandlers handlers;
  handlers.open_page = [&] { ++opened; };
  handlers.end = [&] { ++ended; };
  // Inside the loop: the session ends (the application shuts down), then
  // "Quit" closes the window without a second shutdown.
  launcher->post([&] {
    EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(ended, 0);
    SendMessageW(window, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(ended, 1);
    SendMessageW(FindWindowExW(window, nullptr, L"BUTTON", L"Open Ringtally"), BM_CLICK, 0, 0);
    SendMessageW(quit, BM_CLICK, 0, 0);
  });
  launcher->set_text("A line of text");
  launcher->run(handlers, SW_SHOWNORMAL);
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(ended, 1);
  EXPECT_FALSE(IsWindow(window));
  launcher->post([&] { ADD_FAILURE() << "a task posted after the window has gone ran"; });
}

}  // namespace
