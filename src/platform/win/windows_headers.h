// The Windows SDK headers of the COM code, in the order they need (windows.h first). Windows
// build only.
#pragma once

#ifdef _WIN32

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <oaidl.h>
#include <oleauto.h>
#include <olectl.h>
#include <dispex.h>
// clang-format on

#endif  // _WIN32
