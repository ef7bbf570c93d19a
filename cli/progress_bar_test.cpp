#include "cli/progress_bar.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

namespace q9::cli {
namespace {

TEST(ProgressBarTest, RendersThirtyCellsAndAWholePercentage) {
  std::tuple<double, const char*, std::string> cases[] = {
      // 0.456 of 30 cells is 13.68: 13 filled; 45.6 % shows as 45 %.
      {0.456, "writing", "demo [" + std::string(13, '#') + std::string(17, '.') + "]  45% writing"},
      {1.0, "", "demo [" + std::string(30, '#') + "] 100%"},
      {-0.5, "generating", "demo [" + std::string(30, '.') + "]   0% generating"},
      {7.0, "done", "demo [" + std::string(30, '#') + "] 100% done"},
  };
  for (auto [fraction, phase, text] : cases) {
    EXPECT_EQ(ProgressBar::Render("demo", fraction, phase), text) << fraction;
  }
}

TEST(ProgressBarTest, WritesNothingWhenTheOutputIsNotATerminal) {
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    ProgressBar bar("demo", file, std::chrono::milliseconds(0));
    bar.Update(0.5, "writing");
    bar.Update(1.0, "done");
  }
  EXPECT_EQ(std::ftell(file), 0L);
  std::fclose(file);
}

}  // namespace
}  // namespace q9::cli
