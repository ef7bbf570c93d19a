// The benchmark's demo companies, generated once per size and seed and kept on disk, so that
// repeated runs skip the generation.
#pragma once

#include <cstdint>
#include <string>

namespace q9::bench {

struct CachedCompany {
  std::string company_db;
  std::string system_db;
  std::string connection_string;
  bool generated = false;       // false when the files came from the cache
  double generate_seconds = 0;  // generation and writing, when generated
};

// The company of `lines` document lines and `seed` under `root`/<lines>-<seed>-<layout>/, where
// <layout> fingerprints the schema and indexes the files were written with (a changed schema
// gets new files). The files count only once the writer finished, so an interrupted run
// regenerates them. Throws what the writer throws.
CachedCompany EnsureCompany(const std::string& root, int64_t lines, uint64_t seed);

}  // namespace q9::bench
