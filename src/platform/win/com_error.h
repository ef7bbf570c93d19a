// The system's error type across COM: HRESULTs, EXCEPINFO and IErrorInfo. Windows build only.
#pragma once

#ifdef _WIN32

#include <string>

#include "platform/error.h"
#include "platform/win/windows_headers.h"

namespace q9::platform::win {

// An automation error number (1..65535) as the HRESULT of the control facility (0x800A0000 | n);
// a number that already is an HRESULT (negative) as itself; 0 as E_FAIL.
HRESULT ErrorHResult(int number);
// The inverse: the automation number of a control-facility HRESULT, any other HRESULT as itself.
int ErrorNumber(HRESULT hr);

// Fills `info` (when given) with the error's number, source and description.
void FillExcepInfo(const ComError& error, EXCEPINFO* info);
// Sets the thread's IErrorInfo to the error's source and description; returns its HRESULT.
HRESULT SetErrorInfoFrom(const ComError& error, const IID& iid);

// The error an EXCEPINFO carries (after its deferred fill-in), or one for a failed HRESULT
// naming `what`.
ComError ErrorFromExcepInfo(EXCEPINFO& info);
ComError ErrorFromHResult(HRESULT hr, const std::string& what);

}  // namespace q9::platform::win

#endif  // _WIN32
