#include "web/static_files.h"

namespace q9::web {

std::string_view ContentTypeOf(std::string_view path) {
  auto ends = [&](std::string_view ext) {
    return path.size() >= ext.size() && path.substr(path.size() - ext.size()) == ext;
  };
  if (ends(".html")) return "text/html; charset=utf-8";
  if (ends(".js") || ends(".mjs")) return "text/javascript; charset=utf-8";
  if (ends(".css")) return "text/css; charset=utf-8";
  if (ends(".json")) return "application/json; charset=utf-8";
  if (ends(".svg")) return "image/svg+xml";
  if (ends(".png")) return "image/png";
  if (ends(".ico")) return "image/x-icon";
  if (ends(".woff2")) return "font/woff2";
  return "application/octet-stream";
}

}  // namespace q9::web
