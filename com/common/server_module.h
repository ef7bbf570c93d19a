// What every in-process server of this folder shares: its module handle, the lock count, a class
// factory over a creation function, and the registry entries of a creatable class.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "platform/win/windows_headers.h"

namespace q9::com {

// The DLL's own module handle, set by DllMain.
HMODULE& ThisModule();
std::wstring ThisModulePath();
std::atomic<long>& ServerLocks();
// S_OK when no COM object of the module lives and no lock is held, else S_FALSE.
HRESULT CanUnloadNow();

// A class factory whose CreateInstance asks `create` for the new object's IUnknown (one
// reference). The factory itself counts as a live object of the module.
IClassFactory* NewClassFactory(std::function<HRESULT(IUnknown** out)> create);

// HKEY_CLASSES_ROOT entries of a creatable in-process class: CLSID\{clsid} (its name, the
// InprocServer32 with the module's path and the threading model, ProgID, and TypeLib when
// given) and the ProgID with its CLSID.
struct ClassRegistration {
  std::wstring clsid;
  std::wstring prog_id;
  std::wstring description;
  std::wstring threading_model = L"Apartment";
  std::wstring type_library;  // the LIBID, or empty
  std::wstring version;       // "1.0", or empty
};
HRESULT RegisterComClass(const ClassRegistration& c);
// Removes exactly the keys RegisterComClass made.
HRESULT UnregisterComClass(const ClassRegistration& c);

std::wstring Widen(const char* ascii);

}  // namespace q9::com
