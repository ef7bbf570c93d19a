// The four exports of the self-registering in-process server Q9STRepSrv.dll.
#include "common/server_module.h"
#include "component/com_identity.h"
#include "platform/win/windows_headers.h"
#include "server/guids.h"
#include "server/iclskczt_server.h"

namespace {

using q9::com::Widen;

q9::com::ClassRegistration Registration() {
  q9::com::ClassRegistration c;
  c.clsid = Widen(q9::component::kClsId);
  c.prog_id = Widen(q9::component::kProgId);
  c.description = Widen(q9::component::kProgId);
  c.threading_model = Widen(q9::component::kThreadingModel);
  c.type_library = Widen(q9::component::kLibId);
  c.version = L"1.0";
  return c;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    q9::com::ThisModule() = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, q9::com::GuidOf(q9::component::kClsId))) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  IClassFactory* factory = q9::com::NewClassFactory(q9::com::CreateIClsKCZT);
  HRESULT hr = factory->QueryInterface(riid, out);
  factory->Release();
  return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return q9::com::CanUnloadNow(); }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  ITypeLib* lib = nullptr;
  std::wstring path = q9::com::ThisModulePath();
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib);
  if (FAILED(hr)) return SELFREG_E_TYPELIB;
  hr = RegisterTypeLib(lib, path.data(), nullptr);
  lib->Release();
  if (FAILED(hr)) return SELFREG_E_TYPELIB;
  return q9::com::RegisterComClass(Registration());
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  HRESULT a =
      UnRegisterTypeLib(q9::com::GuidOf(q9::component::kLibId), q9::component::kTypeLibraryMajor,
                        q9::component::kTypeLibraryMinor, LOCALE_NEUTRAL, SYS_WIN64);
  HRESULT b = q9::com::UnregisterComClass(Registration());
  bool type_library_gone =
      SUCCEEDED(a) || a == TYPE_E_REGISTRYACCESS || a == TYPE_E_LIBNOTREGISTERED;
  return type_library_gone && SUCCEEDED(b) ? S_OK : SELFREG_E_CLASS;
}
