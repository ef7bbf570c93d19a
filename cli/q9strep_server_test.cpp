// q9strep demo --server: the demo company written to a SQL Server through the ODBC engine. No
// server is reachable here, so these cases check what a user sees when the server is not there.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/odbc_drivers.h"
#include "support/run_binary.h"
#include "support/temp_dir.h"

namespace q9::cli {
namespace {

TEST(DemoOnServerTest, AnUnreachableServerIsAThrownErrorWithTheDriversWordsButNoPassword) {
  if (!testing::FreeTdsDriverInstalled()) GTEST_SKIP() << "FreeTDS (tdsodbc) is not installed";
  testing::UseTestOdbcDrivers();  // the child process inherits the test-local driver set-up
  testing::TempDir dir;
  std::string cs =
      "Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(testing::ClosedLocalPort()) +
      ";Database=q9demo;UID=sa;PWD=S3cret-Pwd;Connect Timeout=2";
  testing::BinaryResult r =
      testing::RunQ9strep({"demo", "--lines", "300", "--server", cs}, dir.path().string());
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_NE(r.err.find("[FreeTDS]"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("S3cret-Pwd"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "demo-data"));
}

TEST(DemoOnServerTest, AnUnknownProviderIsAThrownErrorNamingIt) {
  testing::TempDir dir;
  testing::BinaryResult r =
      testing::RunQ9strep({"demo", "--lines", "300", "--server", "Provider=Nonsense;Data Source=x"},
                          dir.path().string());
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_NE(r.err.find("Nonsense"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace q9::cli
