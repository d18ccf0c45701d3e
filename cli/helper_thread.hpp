// A second thread that works alongside its owner: the owner hands it one
// task at a time, does other work meanwhile, and then waits for the task.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace textquirl::cli {

class HelperThread {
 public:
  // Without `threaded`, or where no thread can be started, start() runs each
  // task at once on the caller's thread; the results are the same.
  explicit HelperThread(bool threaded);
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;
  // Waits for a task still running.
  ~HelperThread();

  // Hands over `task`; the last one must have been waited for.
  void start(std::function<void()> task);
  // Waits until the task has ended, and rethrows what it threw.
  void wait();

 private:
  void serve();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> task_;
  bool busy_ = false;
  bool stop_ = false;
  std::exception_ptr error_;
  std::thread thread_;  // last, so that it starts once the members above exist
};

}  // namespace textquirl::cli
