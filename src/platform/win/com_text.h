// Text across the COM boundary: COM strings are UTF-16 BSTRs, the system's texts are UTF-8.
// Windows build only.
#pragma once

#ifdef _WIN32

#include <string>
#include <string_view>

#include "platform/win/windows_headers.h"

namespace q9::platform::win {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// A new BSTR holding `text` (the caller frees it); null only when memory runs out.
BSTR NewBstr(std::string_view text);
// A BSTR's text as UTF-8; a null BSTR is the empty text, as automation treats it.
std::string BstrToUtf8(BSTR text);

}  // namespace q9::platform::win

#endif  // _WIN32
