#include "web/apartment_thread.h"

namespace q9::web {

ApartmentThread::ApartmentThread() : thread_([this] { Loop(); }) {}

ApartmentThread::~ApartmentThread() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  ready_.notify_one();
  thread_.join();
}

void ApartmentThread::Post(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(work));
  }
  ready_.notify_one();
}

void ApartmentThread::Loop() {
  for (;;) {
    std::function<void()> work;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      work = std::move(queue_.front());
      queue_.pop_front();
    }
    work();
  }
}

}  // namespace q9::web
