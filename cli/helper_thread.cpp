#include "cli/helper_thread.hpp"

#include <system_error>
#include <utility>

namespace textquirl::cli {

HelperThread::HelperThread(bool threaded) {
  if (!threaded) return;
  try {
    thread_ = std::thread(&HelperThread::serve, this);
  } catch (const std::system_error&) {  // no thread to be had: work alone
  }
}

HelperThread::~HelperThread() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void HelperThread::start(std::function<void()> task) {
  if (!thread_.joinable()) {
    try {
      task();
    } catch (...) {
      error_ = std::current_exception();
    }
    return;
  }
  {
    const std::lock_guard lock(mutex_);
    task_ = std::move(task);
    busy_ = true;
  }
  changed_.notify_all();
}

void HelperThread::wait() {
  if (thread_.joinable()) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
  }
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void HelperThread::serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return busy_ || stop_; });
    if (!busy_) return;
    std::function<void()> task = std::move(task_);
    lock.unlock();
    std::exception_ptr error;
    try {
      task();
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    error_ = error;
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace textquirl::cli
