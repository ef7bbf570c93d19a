// Q9STRepSrv.dll seen from a C++ client under Wine, where a script cannot look: the registered
// type library against the published interface; DllCanUnloadNow while factories, locks,
// instances and handed-out recordsets live; the dual interface's vtable; a call from another
// thread without marshalling.
// Usage: lifetime_probe <Q9STRepSrv.dll> <connection string>. Prints one line per check and
// exits 1 when any check fails.
#include <cstdio>
#include <string>
#include <thread>

#include "component/com_identity.h"
#include "platform/win/windows_headers.h"
#include "server/guids.h"
#include "server/iclskczt_members.h"
#include "server/iclskczt_server.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
  if (!ok) ++failures;
}

std::wstring Wide(const char* s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s, -1, w.data(), n);
  w.resize(static_cast<size_t>(n - 1));
  return w;
}

HRESULT CallByName(IDispatch* d, const wchar_t* name, WORD flags, VARIANT* args, UINT n,
                   VARIANT* result) {
  DISPID id;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS p{args, nullptr, n, 0};
  return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &p, result, nullptr, nullptr);
}

// The registered type library: identity, interface flags, and each member's id, arguments,
// their directions, optional flags and defaults as published.
void CheckTypeLibrary() {
  ITypeLib* lib = nullptr;
  Check(
      SUCCEEDED(LoadRegTypeLib(q9::com::GuidOf(q9::component::kLibId), 1, 0, LOCALE_NEUTRAL, &lib)),
      "the type library Q9STRepSrv 1.0 is registered");
  if (!lib) return;
  ITypeInfo* info = nullptr;
  Check(SUCCEEDED(lib->GetTypeInfoOfGuid(q9::com::GuidOf(q9::component::kIid), &info)),
        "_IClsKCZT is in it");
  if (!info) return;
  // A dual interface is published as its dispatch view; the vtable view is its implemented type.
  HREFTYPE vtable_ref = 0;
  ITypeInfo* vtable = nullptr;
  if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable_ref))) {
    info->GetRefTypeInfo(vtable_ref, &vtable);
  }
  Check(vtable != nullptr, "_IClsKCZT is dual");
  if (!vtable) return;
  TYPEATTR* attr = nullptr;
  vtable->GetTypeAttr(&attr);
  WORD want = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
  Check((attr->wTypeFlags & want) == want, "dual, hidden, nonextensible, oleautomation");
  Check(attr->cFuncs == q9::com::kMembers.size(), "13 methods");
  vtable->ReleaseTypeAttr(attr);
  bool members_ok = true;
  for (UINT i = 0; i < q9::com::kMembers.size(); ++i) {
    const q9::com::MemberInfo& m = q9::com::kMembers[i];
    FUNCDESC* f = nullptr;
    if (FAILED(vtable->GetFuncDesc(i, &f))) {
      members_ok = false;
      continue;
    }
    bool ok = f->memid == m.id && f->cParams == static_cast<SHORT>(m.args.size() + 1);
    for (size_t a = 0; ok && a < m.args.size(); ++a) {
      const q9::com::ArgInfo& arg = m.args[a];
      const PARAMDESC& p = f->lprgelemdescParam[a].paramdesc;
      bool by_ref = f->lprgelemdescParam[a].tdesc.vt == VT_PTR;
      bool want_ref =
          arg.type == q9::com::ArgType::kBstrRef || arg.type == q9::com::ArgType::kVariantRef ||
          arg.type == q9::com::ArgType::kI4Ref || arg.type == q9::com::ArgType::kDispatchRef;
      ok = by_ref == want_ref && ((p.wParamFlags & PARAMFLAG_FOUT) != 0) == want_ref &&
           ((p.wParamFlags & PARAMFLAG_FOPT) != 0) == arg.optional &&
           ((p.wParamFlags & PARAMFLAG_FHASDEFAULT) != 0) ==
               (arg.default_value != q9::com::ArgDefault::kNone);
      if (ok && arg.default_value == q9::com::ArgDefault::kEmptyText) {
        const VARIANT& d = p.pparamdescex->varDefaultValue;
        ok = V_VT(&d) == VT_BSTR && SysStringLen(V_BSTR(&d)) == 0;
      }
      if (ok && arg.default_value == q9::com::ArgDefault::kZeroI2) {
        const VARIANT& d = p.pparamdescex->varDefaultValue;
        ok = V_VT(&d) == VT_I2 && V_I2(&d) == 0;
      }
    }
    ok = ok && (f->lprgelemdescParam[m.args.size()].paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
    if (!ok) std::printf("  member %ls differs from the published interface\n", m.name);
    members_ok = members_ok && ok;
    vtable->ReleaseFuncDesc(f);
  }
  Check(members_ok, "member ids, arguments, optional flags and defaults as published");
  vtable->Release();
  info->Release();
  lib->Release();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: lifetime_probe <dll> <connection string>\n");
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  CheckTypeLibrary();
  HMODULE dll = LoadLibraryW(Wide(argv[1]).c_str());
  Check(dll != nullptr, "LoadLibrary");
  if (!dll) return 1;
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  // Through void (*)(), the generic function pointer type, as GetProcAddress's result must go.
  using AnyFunction = void (*)();
  auto get_class_object = reinterpret_cast<GetClassObject>(
      reinterpret_cast<AnyFunction>(GetProcAddress(dll, "DllGetClassObject")));
  auto can_unload = reinterpret_cast<CanUnload>(
      reinterpret_cast<AnyFunction>(GetProcAddress(dll, "DllCanUnloadNow")));
  Check(get_class_object && can_unload, "the exports are there");
  if (!get_class_object || !can_unload) return 1;
  Check(can_unload() == S_OK, "DllCanUnloadNow is S_OK when nothing lives");

  const CLSID clsid = q9::com::GuidOf(q9::component::kClsId);
  IClassFactory* factory = nullptr;
  Check(SUCCEEDED(get_class_object(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory))),
        "DllGetClassObject");
  Check(can_unload() == S_FALSE, "not while a class factory lives");
  factory->LockServer(TRUE);
  q9::com::_IClsKCZT* k = nullptr;
  Check(SUCCEEDED(factory->CreateInstance(nullptr, q9::com::GuidOf(q9::component::kIid),
                                          reinterpret_cast<void**>(&k))),
        "CreateInstance for _IClsKCZT");
  factory->Release();
  Check(can_unload() == S_FALSE, "not while a lock or an instance lives");

  // The caller's login, from the substitutes' registered class.
  CLSID login_clsid;
  IDispatch* login = nullptr;
  CLSIDFromProgID(L"Q9Substitutes.CallerLogin", &login_clsid);
  CoCreateInstance(login_clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                   reinterpret_cast<void**>(&login));
  Check(login != nullptr, "the caller's login object");
  if (!login) return 1;
  VARIANT open[4];
  for (VARIANT& v : open) VariantInit(&v);
  V_VT(&open[0]) = VT_I4;
  V_I4(&open[0]) = 2026;
  V_VT(&open[1]) = VT_BSTR;
  V_BSTR(&open[1]) = SysAllocString(L"001");
  V_VT(&open[2]) = VT_BSTR;
  V_BSTR(&open[2]) = SysAllocString(L"demo");
  V_VT(&open[3]) = VT_BSTR;
  V_BSTR(&open[3]) = SysAllocString(Wide(argv[2]).c_str());
  Check(SUCCEEDED(CallByName(login, L"Open", DISPATCH_METHOD, open, 4, nullptr)), "login.Open");
  for (VARIANT& v : open) VariantClear(&v);

  // Early binding through the vtable.
  VARIANT_BOOL ok = VARIANT_FALSE;
  Check(SUCCEEDED(k->Init(login, nullptr, &ok)) && ok == VARIANT_TRUE, "Init through the vtable");
  VARIANT rs, msg;
  VariantInit(&rs);
  VariantInit(&msg);
  Check(SUCCEEDED(k->GetPeriodDay(&rs, &msg, &ok)) && ok == VARIANT_TRUE &&
            V_VT(&rs) == VT_DISPATCH && V_DISPATCH(&rs),
        "GetPeriodDay through the vtable hands out a recordset");

  // A method without an error handler fails with the error's HRESULT and an IErrorInfo.
  BSTR empty = SysAllocString(L"");
  VARIANT rs1;
  VariantInit(&rs1);
  HRESULT failed = k->OpenX(empty, &rs1, 0, nullptr, &ok);
  SysFreeString(empty);
  IErrorInfo* error = nullptr;
  BSTR source = nullptr, description = nullptr;
  if (GetErrorInfo(0, &error) == S_OK && error) {
    error->GetSource(&source);
    error->GetDescription(&description);
    error->Release();
  }
  Check(failed == static_cast<HRESULT>(0x800A005B) && V_VT(&rs1) == VT_EMPTY,
        "OpenX on an empty condition: HRESULT of error 91, Rs1 untouched");
  Check(source && SysStringLen(source) > 0 && description && SysStringLen(description) > 0,
        "and an IErrorInfo with source and description");
  SysFreeString(source);
  SysFreeString(description);

  // Another thread, no marshalling: refused, not a crash.
  HRESULT other_vtable = S_OK;
  HRESULT other_invoke = S_OK;
  std::thread([&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    VARIANT r, m;
    VariantInit(&r);
    VariantInit(&m);
    VARIANT_BOOL b;
    other_vtable = k->GetPeriodDay(&r, &m, &b);
    VARIANT args[2];
    V_VT(&args[0]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[0]) = &m;
    V_VT(&args[1]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[1]) = &r;
    VARIANT result;
    VariantInit(&result);
    other_invoke = CallByName(k, L"GetPeriodDay", DISPATCH_METHOD, args, 2, &result);
    CoUninitialize();
  }).join();
  Check(other_vtable == RPC_E_WRONG_THREAD,
        "a vtable call from another thread: RPC_E_WRONG_THREAD");
  Check(other_invoke == RPC_E_WRONG_THREAD, "Invoke from another thread: RPC_E_WRONG_THREAD");

  k->Release();
  login->Release();
  Check(can_unload() == S_FALSE, "not while the lock and a handed-out recordset live");
  IClassFactory* again = nullptr;
  get_class_object(clsid, IID_IClassFactory, reinterpret_cast<void**>(&again));
  again->LockServer(FALSE);
  again->Release();
  Check(can_unload() == S_FALSE, "not while a handed-out recordset lives");
  VARIANT count;
  VariantInit(&count);
  Check(SUCCEEDED(CallByName(V_DISPATCH(&rs), L"RecordCount", DISPATCH_PROPERTYGET, nullptr, 0,
                             &count)) &&
            V_VT(&count) == VT_I4 && V_I4(&count) > 0,
        "the recordset outlives its instance");
  VariantClear(&rs);
  VariantClear(&msg);
  Check(can_unload() == S_OK, "S_OK once the last recordset is released");
  CoUninitialize();
  std::printf("%d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
