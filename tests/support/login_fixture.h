// A small company: an empty company database and a system database with one account, its
// periods, users, data rights and tasks, for tests of the component frame and the login
// substitutes.
#pragma once

#include <string>

#include "support/temp_dir.h"

namespace q9::testing {

class LoginFixture {
 public:
  // Account "001" (stock start 2025-03-15), periods of 2025 and 2026 as calendar months except
  // that 2026 starts its months on the 26th of the month before; users "demo" (unrestricted),
  // "clerk" (restricted), tasks ST01 (demo and clerk), ST02 (demo only, held by clerk under lock
  // 1), no function ST99.
  LoginFixture();

  std::string ConnectionString() const;
  const std::string& company_db() const { return company_; }
  const std::string& system_db() const { return system_; }

 private:
  TempDir dir_;
  std::string company_;
  std::string system_;
};

}  // namespace q9::testing
