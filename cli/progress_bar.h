// A progress bar on standard error for work that takes more than a moment: drawn only when
// standard error is a terminal, and only once the work has run for a while, so quick runs and
// redirected output stay clean.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace q9::cli {

class ProgressBar {
 public:
  // `label` heads the bar. `delay` is how long the work runs before the bar appears.
  explicit ProgressBar(std::string label, FILE* out = stderr,
                       std::chrono::milliseconds delay = std::chrono::milliseconds(300));
  // Erases nothing: a bar that was drawn is finished with a line end.
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // `fraction` of the work done (0 to 1); `phase` names the current step.
  void Update(double fraction, const std::string& phase);

  // The bar's text for `fraction` and `phase`, 30 cells wide: "label [#####.....]  45% phase".
  static std::string Render(const std::string& label, double fraction, const std::string& phase);

 private:
  std::string label_;
  FILE* out_;
  bool enabled_;
  bool drawn_ = false;
  int last_percent_ = -1;
  std::chrono::steady_clock::time_point start_;
  std::chrono::milliseconds delay_;
};

}  // namespace q9::cli
