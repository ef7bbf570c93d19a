#include "cli/demo_company.h"

#include <filesystem>
#include <system_error>

#include "cli/file_paths.h"
#include "demo/generator.h"
#include "platform/error.h"

namespace q9::cli {

namespace fs = std::filesystem;

DemoFiles DemoFilesIn(const std::string& dir) {
  return {(fs::path(dir) / "company.db").string(), (fs::path(dir) / "system.db").string()};
}

DemoPlace InspectDemoPlace(const std::string& dir) {
  std::string dir_is = WhatIsAt(dir);
  if (dir_is == "missing") return {};
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    return {DemoPlace::kOther, dir + " is " + dir_is + ", not a directory", false};
  }
  DemoFiles f = DemoFilesIn(dir);
  std::string company = WhatIsAt(f.company_db);
  std::string system = WhatIsAt(f.system_db);
  if (company == "missing" && system == "missing") return {};
  if (DemoCompanyExists(dir)) return {DemoPlace::kPresent, "", true};
  auto ok = [](const std::string& what) {
    return what == "missing" || what == "a file" || what == "a symbolic link";
  };
  return {DemoPlace::kOther, f.company_db + " is " + company + ", " + f.system_db + " is " + system,
          ok(company) && ok(system)};
}

bool DemoCompanyExists(const std::string& dir) {
  DemoFiles f = DemoFilesIn(dir);
  std::error_code ec;
  return fs::is_regular_file(f.company_db, ec) && fs::is_regular_file(f.system_db, ec);
}

std::string DemoConnectionString(const std::string& dir) {
  DemoFiles f = DemoFilesIn(dir);
  return demo::EmbeddedConnectionString(f.company_db, f.system_db);
}

DemoSettings DefaultDemoSettings() {
  demo::DemoOptions o;
  return {o.seed, o.lines};
}

void CreateDemoCompany(const std::string& dir, const DemoSettings& settings,
                       const std::function<void(double, const std::string&)>& progress) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    throw platform::ComError(75, "q9strep",
                             "cannot create the directory " + dir + ": " + ec.message());
  }
  auto report = [&](double f, const std::string& phase) {
    if (progress) progress(f, phase);
  };
  report(0, "generating");
  // Each batch of documents is written as soon as it is made, so that the rows are never held
  // twice.
  DemoFiles f = DemoFilesIn(dir);
  demo::WriteGeneratedCompany({settings.seed, settings.lines}, f.company_db, f.system_db,
                              [&](double fraction) { report(fraction, "writing"); });
  report(1, "done");
}

}  // namespace q9::cli
