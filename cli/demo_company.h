// The demo company the command line works on when no database is named: two SQLite files
// (company.db and system.db) in a directory, ./demo-data by default, generated on first use.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace q9::cli {

inline constexpr char kDefaultDemoDir[] = "demo-data";
inline constexpr char kDemoUser[] = "demo";
inline constexpr char kDemoAccount[] = "001";
inline constexpr int kDemoYear = 2026;

struct DemoFiles {
  std::string company_db;  // <dir>/company.db
  std::string system_db;   // <dir>/system.db
};

DemoFiles DemoFilesIn(const std::string& dir);

// What is at the demo company's place in a directory.
struct DemoPlace {
  enum State {
    kAbsent,   // neither file nor anything else of their names (the directory may be missing)
    kPresent,  // both are files
    kOther,    // anything else: never written to except by demo --force on files
  } state = kAbsent;
  // For kOther, what is there: "demo-data/company.db is a directory, demo-data/system.db is
  // missing".
  std::string description;
  // For kOther: true when what is there may be replaced (files, symbolic links or nothing).
  bool replaceable = false;
};
DemoPlace InspectDemoPlace(const std::string& dir);

// True when both files exist.
bool DemoCompanyExists(const std::string& dir);

// The connection string of the embedded engine on the demo files of `dir`.
std::string DemoConnectionString(const std::string& dir);

struct DemoSettings {
  uint64_t seed;
  int64_t lines;
};

// The generator's defaults.
DemoSettings DefaultDemoSettings();

// Generates the company and writes both files into `dir` (created when missing), replacing
// files that are there. `progress` receives the fraction done (0 to 1) and the step's name.
// Raises platform::ComError when the directory or a file cannot be written.
void CreateDemoCompany(const std::string& dir, const DemoSettings& settings,
                       const std::function<void(double, const std::string&)>& progress = {});

}  // namespace q9::cli
