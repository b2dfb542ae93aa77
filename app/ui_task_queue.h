// The tasks other threads hand to the window thread, kept in order. The
// window backend schedules one run whenever `push` asks for it, so a burst
// of replies costs one wake-up, not one each.
#pragma once
#include <deque>
#include <functional>
#include <mutex>

class UiTaskQueue {
 public:
  using Task = std::function<void()>;

  // Appends `task` (any thread). True when the caller must schedule one
  // `run_queued` on the window thread because none is pending. Once closed,
  // the task is destroyed at once without running (so whatever it owns, a
  // promise for instance, is released) and the answer is false.
  bool push(Task task);

  // Window thread: runs the tasks queued so far, in the order they were
  // pushed. Returns true when more arrived meanwhile and a further run is
  // due; false when the queue is empty and the next push schedules again.
  bool run_queued();

  // Destroys every queued task without running it and refuses later ones.
  void close();

 private:
  std::mutex mutex_;
  std::deque<Task> tasks_;
  bool run_pending_ = false;
  bool closed_ = false;
};
