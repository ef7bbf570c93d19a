#include "cli/progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace q9::cli {

namespace {
constexpr int kCells = 30;
}

ProgressBar::ProgressBar(std::string label, FILE* out, std::chrono::milliseconds delay)
    : label_(std::move(label)), out_(out) {
  if (isatty(fileno(out)) == 0) return;
  timer_ = std::thread([this, delay] {
    std::unique_lock lock(mutex_);
    if (finished_cv_.wait_for(lock, delay, [this] { return finished_; })) return;
    visible_ = true;
    DrawLocked();
  });
}

ProgressBar::~ProgressBar() {
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  finished_cv_.notify_all();
  if (timer_.joinable()) timer_.join();
  if (drawn_) std::fputc('\n', out_);
}

void ProgressBar::Update(double fraction, const std::string& phase) {
  std::lock_guard lock(mutex_);
  fraction_ = fraction;
  phase_ = phase;
  if (visible_) DrawLocked();
}

void ProgressBar::DrawLocked() {
  std::string text = Render(label_, fraction_, phase_);
  if (drawn_ && text == last_drawn_) return;
  last_drawn_ = text;
  drawn_ = true;
  // Clears to the end of the line so a shorter phase leaves nothing behind.
  std::fprintf(out_, "\r%s\x1b[K", text.c_str());
  std::fflush(out_);
}

std::string ProgressBar::Render(const std::string& label, double fraction,
                                const std::string& phase) {
  double f = std::clamp(fraction, 0.0, 1.0);
  int filled = static_cast<int>(std::floor(f * kCells));
  int percent = static_cast<int>(std::floor(f * 100));
  std::string text =
      label + " [" + std::string(filled, '#') + std::string(kCells - filled, '.') + "] ";
  std::string p = std::to_string(percent) + "%";
  text += std::string(4 - std::min<size_t>(4, p.size()), ' ') + p;
  if (!phase.empty()) text += " " + phase;
  return text;
}

}  // namespace q9::cli
