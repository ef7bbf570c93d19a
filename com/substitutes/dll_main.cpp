// Q9ErpSubstitutes.dll: the ERP's login, account, account control, reference server and print
// service, built from the substitutes the Linux tests use and registered as COM classes under the
// ERP's ProgIDs, so the server creates them through CoCreateInstance as it would the real ones.
// It also offers a caller's login object (what a front end holds after its user logged in).
#include <array>
#include <initializer_list>

#include "common/server_module.h"
#include "platform/dispatch.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/login_substitutes.h"
#include "platform/erp/print_service.h"
#include "platform/erp/reference_server.h"
#include "platform/error.h"
#include "platform/win/object_dispatch.h"
#include "platform/win/windows_headers.h"
#include "server/guids.h"

namespace {

using q9::platform::Args;
using q9::platform::ObjectPtr;
using q9::platform::Variant;

// Q9Substitutes.CallerLogin: Open(connection string, user, account, year) fills it; then it
// answers VkDbName, cUserId, cAcc_Id and cIYear as the caller's login object does.
class CallerLoginClass : public q9::platform::MemberObject {
 public:
  CallerLoginClass() : MemberObject("CallerLogin") {
    members_.Method("Open", [this](Args& a) {
      login_ = q9::platform::erp::MakeCallerLogin(a.Get(0).ToText(), a.Get(1).ToText(),
                                                  a.Get(2).ToText(), a.Get(3).ToI4());
      return Variant(true);
    });
    for (const char* name : {"VkDbName", "cUserId", "cAcc_Id", "cIYear"}) {
      members_.Get(name, [this, name](Args& a) {
        if (!login_) throw q9::platform::ObjectNotSet("CallerLogin.Open");
        return login_->Invoke(name, q9::platform::InvokeKind::kPropertyGet, a);
      });
    }
  }

 private:
  ObjectPtr login_;
};

struct SubstituteClass {
  const char* clsid;
  const char* prog_id;
  ObjectPtr (*create)();
};

const std::array<SubstituteClass, 6> kClasses = {{
    {"{6B1F6C1E-3A5D-4C2B-9E4F-0D8A7C51B211}", q9::platform::erp::kLoginProgId,
     q9::platform::erp::CreateLogin},
    {"{6B1F6C1E-3A5D-4C2B-9E4F-0D8A7C51B212}", q9::platform::erp::kAccountProgId,
     q9::platform::erp::CreateAccount},
    {"{6B1F6C1E-3A5D-4C2B-9E4F-0D8A7C51B213}", q9::platform::erp::kAccountCOProgId,
     q9::platform::erp::CreateAccountCO},
    {"{6B1F6C1E-3A5D-4C2B-9E4F-0D8A7C51B214}", q9::platform::erp::kReferServerProgId,
     q9::platform::erp::CreateReferServer},
    {"{6B1F6C1E-3A5D-4C2B-9E4F-0D8A7C51B215}", q9::platform::erp::kPrintServiceProgId,
     q9::platform::erp::CreatePrintService},
    {"{6B1F6C1E-3A5D-4C2B-9E4F-0D8A7C51B216}", "Q9Substitutes.CallerLogin",
     [] { return ObjectPtr(std::make_shared<CallerLoginClass>()); }},
}};

q9::com::ClassRegistration Registration(const SubstituteClass& c) {
  q9::com::ClassRegistration r;
  r.clsid = q9::com::Widen(c.clsid);
  r.prog_id = q9::com::Widen(c.prog_id);
  r.description = r.prog_id + L" (substitute)";
  return r;
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
  for (const SubstituteClass& c : kClasses) {
    if (!IsEqualCLSID(clsid, q9::com::GuidOf(c.clsid))) continue;
    auto create = c.create;
    IClassFactory* factory = q9::com::NewClassFactory([create](IUnknown** object) {
      try {
        *object = q9::platform::win::NewObjectDispatch(create());
        return S_OK;
      } catch (...) {
        return E_FAIL;
      }
    });
    HRESULT hr = factory->QueryInterface(riid, out);
    factory->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return q9::com::CanUnloadNow(); }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  for (const SubstituteClass& c : kClasses) {
    HRESULT hr = q9::com::RegisterComClass(Registration(c));
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  HRESULT result = S_OK;
  for (const SubstituteClass& c : kClasses) {
    if (FAILED(q9::com::UnregisterComClass(Registration(c)))) result = SELFREG_E_CLASS;
  }
  return result;
}
