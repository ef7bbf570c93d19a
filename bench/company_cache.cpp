#include "bench/company_cache.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "demo/generator.h"
#include "demo/schema.h"

namespace q9::bench {
namespace {

// Bumped when the writer stores the same schema differently (row order, page size).
constexpr int kWriterLayout = 1;

std::string LayoutFingerprint() {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  auto mix = [&h](std::string_view text) {
    for (unsigned char c : text) {
      h ^= c;
      h *= 1099511628211ull;
    }
  };
  mix(demo::kCompanySchema);
  mix(demo::kCompanyIndexes);
  mix(demo::kSystemSchema);
  mix(std::to_string(kWriterLayout));
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return std::string(text, 8);
}

}  // namespace

CachedCompany EnsureCompany(const std::string& root, int64_t lines, uint64_t seed) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(root) /
                 (std::to_string(lines) + "-" + std::to_string(seed) + "-" + LayoutFingerprint());
  fs::create_directories(dir);
  CachedCompany out;
  out.company_db = (dir / "company.db").string();
  out.system_db = (dir / "system.db").string();
  out.connection_string = demo::EmbeddedConnectionString(out.company_db, out.system_db);
  fs::path done = dir / "complete";
  if (fs::exists(done) && fs::exists(out.company_db) && fs::exists(out.system_db)) return out;

  fs::remove(done);
  auto start = std::chrono::steady_clock::now();
  {
    demo::DemoCompany company = demo::GenerateCompany({seed, lines});
    demo::WriteCompany(company, out.company_db, out.system_db);
  }
  out.generate_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  out.generated = true;
  std::ofstream(done) << "lines " << lines << " seed " << seed << "\n";
  return out;
}

}  // namespace q9::bench
