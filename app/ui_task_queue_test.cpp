#include "app/ui_task_queue.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

// Pushes from one thread must run in push order, and only the first push of
// an idle queue asks for a run.
TEST(UiTaskQueue, RunsInPushOrderWithOneWakeUp) {
  UiTaskQueue queue;
  std::vector<int> ran;
  int wake_ups = 0;
  std::thread producer([&] {
    for (int i = 0; i < 500; ++i)
      if (queue.push([&ran, i] { ran.push_back(i); })) ++wake_ups;
  });
  producer.join();
  EXPECT_EQ(wake_ups, 1);
  EXPECT_FALSE(queue.run_queued());
  ASSERT_EQ(ran.size(), 500u);
  for (int i = 0; i < 500; ++i) EXPECT_EQ(ran[i], i);
  // Idle again: the next push asks for a run again.
  EXPECT_TRUE(queue.push([] {}));
}

// A task pushed while a run is under way is not lost: the run reports that
// more is due, and it runs after the ones before it.
TEST(UiTaskQueue, TaskPushedDuringARunIsRunNext) {
  UiTaskQueue queue;
  std::string ran;
  ASSERT_TRUE(queue.push([&] {
    ran += "a";
    EXPECT_FALSE(queue.push([&] { ran += "c"; }));
  }));
  queue.push([&] { ran += "b"; });
  EXPECT_TRUE(queue.run_queued());
  EXPECT_EQ(ran, "ab");
  EXPECT_FALSE(queue.run_queued());
  EXPECT_EQ(ran, "abc");
}

// After close, queued and later tasks are destroyed unrun, so a thread that
// waits on a promise such a task holds is released instead of hanging.
TEST(UiTaskQueue, CloseReleasesWaitersOfDroppedTasks) {
  UiTaskQueue queue;
  auto queued = std::make_shared<std::promise<std::string>>();
  std::future<std::string> queued_answer = queued->get_future();
  queue.push([queued] { queued->set_value("ran"); });
  queued.reset();
  queue.close();
  EXPECT_THROW(queued_answer.get(), std::future_error);

  auto late = std::make_shared<std::promise<std::string>>();
  std::future<std::string> late_answer = late->get_future();
  EXPECT_FALSE(queue.push([late] { late->set_value("ran"); }));
  late.reset();
  EXPECT_THROW(late_answer.get(), std::future_error);
  EXPECT_FALSE(queue.run_queued());
}
