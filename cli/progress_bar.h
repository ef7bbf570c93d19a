// A progress bar on standard error for work that takes more than a moment: drawn only when
// standard error is a terminal, and only once the work has run for a while (also while no
// progress is reported, e.g. during a long first step), so quick runs and redirected output
// stay clean.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace q9::cli {

class ProgressBar {
 public:
  // `label` heads the bar. `delay` is how long the work runs before the bar appears.
  explicit ProgressBar(std::string label, FILE* out = stderr,
                       std::chrono::milliseconds delay = std::chrono::milliseconds(300));
  // A bar that was drawn is finished with a line end.
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // `fraction` of the work done (0 to 1); `phase` names the current step. Called from the
  // working thread.
  void Update(double fraction, const std::string& phase);

  // The bar's text for `fraction` and `phase`, 30 cells wide: "label [#####.....]  45% phase".
  static std::string Render(const std::string& label, double fraction, const std::string& phase);

 private:
  void DrawLocked();

  std::string label_;
  FILE* out_;
  std::mutex mutex_;
  std::condition_variable finished_cv_;
  bool finished_ = false;
  bool visible_ = false;  // the delay has passed
  bool drawn_ = false;
  double fraction_ = 0;
  std::string phase_;
  std::string last_drawn_;
  std::thread timer_;  // shows the bar once the delay has passed; only on a terminal
};

}  // namespace q9::cli
