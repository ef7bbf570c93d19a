#include "condition/sql_text.h"

namespace q9::condition {

std::string EscapeSqlText(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string EscapeLikeText(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 8);
  for (char c : value) {
    if (c == '%' || c == '_' || c == '[') {
      out += '[';
      out += c;
      out += ']';
    } else {
      out += c;
      if (c == '\'') out += '\'';
    }
  }
  return out;
}

std::string_view TrimBlanks(std::string_view text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(' ');
  return text.substr(begin, end - begin + 1);
}

}  // namespace q9::condition
