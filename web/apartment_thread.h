// One thread that runs the work handed to it one piece at a time, in the order handed in: the
// apartment a web session's component lives in (the component's module globals belong to the
// thread that created it, and its recordsets to that thread alone).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <type_traits>

namespace q9::web {

class ApartmentThread {
 public:
  ApartmentThread();
  // Runs what is queued, then ends the thread.
  ~ApartmentThread();
  ApartmentThread(const ApartmentThread&) = delete;
  ApartmentThread& operator=(const ApartmentThread&) = delete;

  // Runs `work` on the thread after everything handed in before, waits for it and returns its
  // result or raises what it raised.
  template <typename Work>
  auto Run(Work work) -> std::invoke_result_t<Work> {
    std::packaged_task<std::invoke_result_t<Work>()> task(std::move(work));
    auto result = task.get_future();
    Post([&task] { task(); });
    return result.get();
  }

 private:
  void Post(std::function<void()> work);
  void Loop();

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> queue_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace q9::web
