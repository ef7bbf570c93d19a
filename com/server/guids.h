// The server's fixed GUIDs (component/com_identity.h) as GUID values.
#pragma once

#include <string>

#include "platform/win/windows_headers.h"

namespace q9::com {

inline GUID GuidOf(const char* text) {
  std::wstring wide(text, text + std::char_traits<char>::length(text));
  GUID guid{};
  CLSIDFromString(wide.c_str(), &guid);
  return guid;
}

}  // namespace q9::com
