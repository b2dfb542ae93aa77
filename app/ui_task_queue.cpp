#include "app/ui_task_queue.h"

#include <utility>

bool UiTaskQueue::push(Task task) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (closed_) {
    lock.unlock();
    task = nullptr;  // released outside the lock: it may wake another thread
    return false;
  }
  tasks_.push_back(std::move(task));
  if (run_pending_) return false;
  run_pending_ = true;
  return true;
}

bool UiTaskQueue::run_queued() {
  std::deque<Task> batch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch.swap(tasks_);
  }
  for (Task& task : batch) task();
  std::lock_guard<std::mutex> lock(mutex_);
  if (!tasks_.empty() && !closed_) return true;
  run_pending_ = false;
  return false;
}

void UiTaskQueue::close() {
  std::deque<Task> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    dropped.swap(tasks_);
  }
}
