// The page's files, embedded in the binary at build time from web/static/ (see
// embed_static.cmake).
#pragma once

#include <string_view>

namespace q9::web {

struct StaticFile {
  std::string_view path;  // "/index.html", "/app.js", ...
  std::string_view body;
};

// The file at `path` (relative to web/static/, with a leading "/"), or nullptr.
const StaticFile* FindStaticFile(std::string_view path);

// The Content-Type of a file by its extension.
std::string_view ContentTypeOf(std::string_view path);

}  // namespace q9::web
