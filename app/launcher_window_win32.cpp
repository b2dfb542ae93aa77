#include <windows.h>

#include <mutex>

#include "app/launcher_window.h"
#include "app/text.h"
#include "app/window_geometry.h"

namespace {

const wchar_t kClassName[] = L"DesktopApp";
const wchar_t kTitle[] = L"Ringtally Zuzu";
const int kOpenButton = 101;
const int kQuitButton = 102;
const UINT kRunTask = WM_APP + 1;

std::wstring wide(const std::string& text) {
  std::u16string converted = utf8_to_utf16(text);
  return std::wstring(converted.begin(), converted.end());
}

}  // namespace

struct LauncherWindow::Impl {
  HWND window = nullptr;
  HWND text = nullptr;
  HWND open_button = nullptr;
  HWND quit_button = nullptr;
  HFONT font = nullptr;
  const LauncherHandlers* handlers = nullptr;
  bool ended = false;  // `end` has run; it runs once
  // Guards `window` for posting from other threads.
  std::mutex post_mutex;

  int scaled(int pixels) const { return MulDiv(pixels, GetDpiForWindow(window), 96); }

  void make_font() {
    if (font) DeleteObject(font);
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, GetDpiForWindow(window));
    font = CreateFontIndirectW(&metrics.lfMessageFont);
    for (HWND control : {text, open_button, quit_button})
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }

  void lay_out() {
    RECT client;
    GetClientRect(window, &client);
    int margin = scaled(24), width = scaled(160), height = scaled(32);
    MoveWindow(text, margin, margin, client.right - 2 * margin, scaled(24), TRUE);
    int top = margin + scaled(40);
    MoveWindow(open_button, margin, top, width, height, TRUE);
    MoveWindow(quit_button, margin + width + scaled(12), top, width, height, TRUE);
  }

  // Runs the application's shutdown once, then lets the window go.
  void end() {
    if (ended) return;
    ended = true;
    if (handlers && handlers->end) handlers->end();
  }

  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
      case WM_CREATE: return 0;
      case WM_SIZE:
        lay_out();
        return 0;
      case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        make_font();
        lay_out();
        return 0;
      }
      case WM_COMMAND:
        if (LOWORD(wparam) == kOpenButton && handlers && handlers->open_page) handlers->open_page();
        if (LOWORD(wparam) == kQuitButton) PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
      case WM_CLOSE:
        end();
        DestroyWindow(window);
        return 0;
      case WM_QUERYENDSESSION:
        return TRUE;
      case WM_ENDSESSION:
        // The process may be ended as soon as this returns.
        if (wparam) end();
        return 0;
      case kRunTask: {
        auto* task = reinterpret_cast<std::function<void()>*>(lparam);
        (*task)();
        delete task;
        return 0;
      }
      case WM_DESTROY: {
        std::lock_guard<std::mutex> lock(post_mutex);
        window = nullptr;
      }
        // Tasks still queued are freed unrun.
        for (MSG dropped; PeekMessageW(&dropped, nullptr, kRunTask, kRunTask, PM_REMOVE);)
          delete reinterpret_cast<std::function<void()>*>(dropped.lParam);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }

  static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      static_cast<Impl*>(create->lpCreateParams)->window = hwnd;
    }
    auto* impl = reinterpret_cast<Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!impl || !impl->window) return DefWindowProcW(hwnd, message, wparam, lparam);
    return impl->handle(message, wparam, lparam);
  }
};

LauncherWindow::LauncherWindow() : impl_(new Impl) {}

LauncherWindow::~LauncherWindow() {
  if (impl_->window) DestroyWindow(impl_->window);
  if (impl_->font) DeleteObject(impl_->font);
}

std::unique_ptr<LauncherWindow> LauncherWindow::create(std::string* failure) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = Impl::procedure;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  window_class.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(1));
  window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kClassName;
  if (!RegisterClassExW(&window_class)) {
    *failure = "Call to RegisterClassEx failed!";
    return nullptr;
  }
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  WindowSize size = scaled_window_size(static_cast<int>(GetDpiForSystem()));

  std::unique_ptr<LauncherWindow> launcher(new LauncherWindow);
  Impl& impl = *launcher->impl_;
  HWND window = CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                size.width, size.height, nullptr, nullptr, instance, &impl);
  if (!window) {
    *failure = "Call to CreateWindow failed!";
    return nullptr;
  }
  impl.text = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0,
                              window, nullptr, instance, nullptr);
  impl.open_button = CreateWindowExW(0, L"BUTTON", L"Open Ringtally", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                                     0, 0, 0, 0, window, reinterpret_cast<HMENU>(kOpenButton), instance, nullptr);
  impl.quit_button = CreateWindowExW(0, L"BUTTON", L"Quit", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0,
                                     0, 0, window, reinterpret_cast<HMENU>(kQuitButton), instance, nullptr);
  impl.make_font();
  impl.lay_out();
  return launcher;
}

void* LauncherWindow::handle() const { return impl_->window; }

void LauncherWindow::set_text(const std::string& line) {
  std::wstring text = wide(line);
  post([this, text] { SetWindowTextW(impl_->text, text.c_str()); });
}

void LauncherWindow::post(std::function<void()> task) {
  auto* queued = new std::function<void()>(std::move(task));
  std::lock_guard<std::mutex> lock(impl_->post_mutex);
  if (!impl_->window || !PostMessageW(impl_->window, kRunTask, 0, reinterpret_cast<LPARAM>(queued))) delete queued;
}

void LauncherWindow::run(const LauncherHandlers& handlers, int show_command) {
  impl_->handlers = &handlers;
  ShowWindow(impl_->window, show_command);
  UpdateWindow(impl_->window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(impl_->window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  impl_->end();  // a WM_QUIT from elsewhere still shuts down in order
  impl_->handlers = nullptr;
}
