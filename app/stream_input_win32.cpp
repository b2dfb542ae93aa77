#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "app/stream_input.h"

namespace {

std::atomic<bool> g_stop_requested{false};

BOOL WINAPI on_console_control(DWORD) {
  g_stop_requested = true;
  return TRUE;
}

constexpr auto kStopCheck = std::chrono::milliseconds(20);

// What the reader thread hands over; shared so that a reader still blocked
// in ReadFile when the host returns touches nothing that is gone.
struct InputChunks {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::string> chunks;
  bool ended = false;
};

void read_standard_input(std::shared_ptr<InputChunks> shared) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  char buffer[65536];
  for (;;) {
    DWORD count = 0;
    BOOL ok = input && input != INVALID_HANDLE_VALUE && ReadFile(input, buffer, sizeof buffer, &count, nullptr);
    std::lock_guard<std::mutex> lock(shared->mutex);
    if (!ok || count == 0) {
      shared->ended = true;
      shared->arrived.notify_all();
      return;
    }
    shared->chunks.emplace_back(buffer, count);
    shared->arrived.notify_all();
  }
}

}  // namespace

bool watch_stop_requests() {
  // Replies are lines ending in "\n" alone, as on every platform.
  _setmode(_fileno(stdout), _O_BINARY);
  return SetConsoleCtrlHandler(on_console_control, TRUE) != 0;
}

InputEnd read_input_lines(const std::function<void(const std::string& line)>& on_line) {
  auto shared = std::make_shared<InputChunks>();
  // ReadFile on a console or pipe cannot be woken by a stop request, so it
  // runs on a thread of its own that the process simply leaves behind.
  std::thread(read_standard_input, shared).detach();
  std::string buffer;
  for (;;) {
    std::deque<std::string> chunks;
    bool ended;
    {
      std::unique_lock<std::mutex> lock(shared->mutex);
      shared->arrived.wait_for(lock, kStopCheck, [&] { return !shared->chunks.empty() || shared->ended; });
      chunks.swap(shared->chunks);
      ended = shared->ended;
    }
    if (g_stop_requested) return InputEnd::kStopRequest;
    for (const std::string& chunk : chunks) {
      buffer += chunk;
      size_t start = 0, newline;
      while ((newline = buffer.find('\n', start)) != std::string::npos) {
        on_line(buffer.substr(start, newline - start));
        start = newline + 1;
      }
      buffer.erase(0, start);
    }
    if (ended) {
      on_line(buffer);
      return InputEnd::kEndOfInput;
    }
  }
}

void wait_unless_stopped(const std::function<bool()>& done) {
  while (!done() && !g_stop_requested) std::this_thread::sleep_for(kStopCheck);
}
