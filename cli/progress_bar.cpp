#include "cli/progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace q9::cli {

namespace {
constexpr int kCells = 30;
}

ProgressBar::ProgressBar(std::string label, FILE* out, std::chrono::milliseconds delay)
    : label_(std::move(label)),
      out_(out),
      enabled_(isatty(fileno(out)) != 0),
      start_(std::chrono::steady_clock::now()),
      delay_(delay) {}

ProgressBar::~ProgressBar() {
  if (drawn_) std::fputc('\n', out_);
}

void ProgressBar::Update(double fraction, const std::string& phase) {
  if (!enabled_) return;
  if (!drawn_ && std::chrono::steady_clock::now() - start_ < delay_) return;
  int percent = static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 100));
  if (drawn_ && percent == last_percent_) return;
  last_percent_ = percent;
  drawn_ = true;
  // Clears to the end of the line so a shorter phase leaves nothing behind.
  std::fprintf(out_, "\r%s\x1b[K", Render(label_, fraction, phase).c_str());
  std::fflush(out_);
}

std::string ProgressBar::Render(const std::string& label, double fraction,
                                const std::string& phase) {
  double f = std::clamp(fraction, 0.0, 1.0);
  int filled = static_cast<int>(std::floor(f * kCells));
  int percent = static_cast<int>(std::floor(f * 100));
  std::string text = label + " [" + std::string(filled, '#') + std::string(kCells - filled, '.') +
                     "] ";
  std::string p = std::to_string(percent) + "%";
  text += std::string(4 - std::min<size_t>(4, p.size()), ' ') + p;
  if (!phase.empty()) text += " " + phase;
  return text;
}

}  // namespace q9::cli
