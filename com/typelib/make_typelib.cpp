// Writes the type library Q9STRepSrv 1.0 with ICreateTypeLib2, run at build time under Wine.
// widl cannot write it: it rejects (and crashes on) a default value on a BSTR* argument, which
// Init's published signature has. Usage: make_typelib <output.tlb>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "component/com_identity.h"
#include "platform/win/windows_headers.h"
#include "server/guids.h"
#include "server/iclskczt_members.h"

namespace {

using q9::com::ArgDefault;
using q9::com::ArgType;

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) {
    std::fprintf(stderr, "make_typelib: %s failed (0x%08lX)\n", what,
                 static_cast<unsigned long>(hr));
    std::exit(1);
  }
}

// Type descriptions live as long as the program: ICreateTypeInfo copies them at AddFuncDesc.
TYPEDESC* Pointer(VARTYPE vt) {
  auto* inner = new TYPEDESC{};
  inner->vt = vt;
  auto* outer = new TYPEDESC{};
  outer->vt = VT_PTR;
  outer->lptdesc = inner;
  return outer;
}

ELEMDESC Param(const q9::com::ArgInfo& arg) {
  ELEMDESC e{};
  USHORT flags = PARAMFLAG_FIN;
  switch (arg.type) {
    case ArgType::kBstr:
      e.tdesc.vt = VT_BSTR;
      break;
    case ArgType::kI2:
      e.tdesc.vt = VT_I2;
      break;
    case ArgType::kBool:
      e.tdesc.vt = VT_BOOL;
      break;
    case ArgType::kDispatch:
      e.tdesc.vt = VT_DISPATCH;
      break;
    case ArgType::kBstrRef:
      e.tdesc = *Pointer(VT_BSTR);
      break;
    case ArgType::kVariantRef:
      e.tdesc = *Pointer(VT_VARIANT);
      break;
    case ArgType::kI4Ref:
      e.tdesc = *Pointer(VT_I4);
      break;
    case ArgType::kDispatchRef:
      e.tdesc = *Pointer(VT_DISPATCH);
      break;
  }
  bool by_ref = e.tdesc.vt == VT_PTR;
  if (by_ref) flags |= PARAMFLAG_FOUT;
  if (arg.optional) flags |= PARAMFLAG_FOPT;
  if (arg.default_value != ArgDefault::kNone) {
    flags |= PARAMFLAG_FHASDEFAULT;
    auto* ex = new PARAMDESCEX{};
    ex->cBytes = sizeof(PARAMDESCEX);
    VariantInit(&ex->varDefaultValue);
    if (arg.default_value == ArgDefault::kEmptyText) {
      V_VT(&ex->varDefaultValue) = VT_BSTR;
      V_BSTR(&ex->varDefaultValue) = SysAllocString(L"");
    } else {
      V_VT(&ex->varDefaultValue) = VT_I2;
      V_I2(&ex->varDefaultValue) = 0;
    }
    e.paramdesc.pparamdescex = ex;
  }
  e.paramdesc.wParamFlags = flags;
  return e;
}

std::wstring Wide(const char* s) { return std::wstring(s, s + std::char_traits<char>::length(s)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_typelib <output.tlb>\n");
    return 2;
  }
  Check(CoInitialize(nullptr), "CoInitialize");
  std::wstring out = Wide(argv[1]);
  ICreateTypeLib2* lib = nullptr;
  Check(CreateTypeLib2(SYS_WIN64, out.c_str(), &lib), "CreateTypeLib2");
  std::wstring lib_name = Wide(q9::component::kTypeLibraryName);
  Check(lib->SetName(lib_name.data()), "SetName");
  Check(lib->SetGuid(q9::com::GuidOf(q9::component::kLibId)), "SetGuid");
  Check(lib->SetVersion(q9::component::kTypeLibraryMajor, q9::component::kTypeLibraryMinor),
        "SetVersion");
  Check(lib->SetLcid(LOCALE_NEUTRAL), "SetLcid");

  ITypeLib* stdole = nullptr;
  Check(LoadTypeLib(L"stdole2.tlb", &stdole), "LoadTypeLib(stdole2.tlb)");
  ITypeInfo* dispatch_info = nullptr;
  Check(stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatch_info), "IDispatch type info");

  // The interface: dual, hidden, non-extensible, automation types only.
  std::wstring iface_name = Wide(q9::component::kInterfaceName);
  ICreateTypeInfo* iface = nullptr;
  Check(lib->CreateTypeInfo(iface_name.data(), TKIND_INTERFACE, &iface), "CreateTypeInfo(iface)");
  Check(iface->SetGuid(q9::com::GuidOf(q9::component::kIid)), "SetGuid(iface)");
  HREFTYPE dispatch_ref = 0;
  Check(iface->AddRefTypeInfo(dispatch_info, &dispatch_ref), "AddRefTypeInfo(IDispatch)");
  Check(iface->AddImplType(0, dispatch_ref), "AddImplType(IDispatch)");
  Check(iface->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                            TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE),
        "SetTypeFlags(iface)");
  UINT index = 0;
  for (const q9::com::MemberInfo& m : q9::com::kMembers) {
    std::vector<ELEMDESC> params;
    for (const q9::com::ArgInfo& a : m.args) params.push_back(Param(a));
    ELEMDESC result{};
    result.tdesc = *Pointer(m.result == q9::com::ResultType::kBool ? VT_BOOL : VT_VARIANT);
    result.paramdesc.wParamFlags = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
    params.push_back(result);
    FUNCDESC f{};
    f.memid = m.id;
    f.funckind = FUNC_PUREVIRTUAL;
    f.invkind = INVOKE_FUNC;
    f.callconv = CC_STDCALL;
    f.cParams = static_cast<SHORT>(params.size());
    f.lprgelemdescParam = params.data();
    f.elemdescFunc.tdesc.vt = VT_HRESULT;
    f.oVft = static_cast<SHORT>((7 + index) * sizeof(void*));
    f.cParamsOpt = 0;  // optional arguments are flagged one by one
    Check(iface->AddFuncDesc(index, &f), "AddFuncDesc");
    std::vector<std::wstring> names{m.name};
    for (const q9::com::ArgInfo& a : m.args) names.emplace_back(a.name);
    std::vector<LPOLESTR> name_ptrs;
    for (std::wstring& n : names) name_ptrs.push_back(n.data());
    Check(iface->SetFuncAndParamNames(index, name_ptrs.data(), static_cast<UINT>(names.size())),
          "SetFuncAndParamNames");
    ++index;
  }
  Check(iface->LayOut(), "LayOut(iface)");

  // The creatable class with the interface as its default.
  std::wstring class_name = Wide(q9::component::kClassName);
  ICreateTypeInfo* coclass = nullptr;
  Check(lib->CreateTypeInfo(class_name.data(), TKIND_COCLASS, &coclass), "CreateTypeInfo(class)");
  Check(coclass->SetGuid(q9::com::GuidOf(q9::component::kClsId)), "SetGuid(class)");
  Check(coclass->SetTypeFlags(TYPEFLAG_FCANCREATE), "SetTypeFlags(class)");
  ITypeInfo* iface_info = nullptr;
  Check(iface->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&iface_info)),
        "ITypeInfo(iface)");
  HREFTYPE iface_ref = 0;
  Check(coclass->AddRefTypeInfo(iface_info, &iface_ref), "AddRefTypeInfo(iface)");
  Check(coclass->AddImplType(0, iface_ref), "AddImplType(iface)");
  Check(coclass->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "SetImplTypeFlags");
  Check(coclass->LayOut(), "LayOut(class)");

  Check(lib->SaveAllChanges(), "SaveAllChanges");
  iface_info->Release();
  coclass->Release();
  iface->Release();
  dispatch_info->Release();
  stdole->Release();
  lib->Release();
  CoUninitialize();
  return 0;
}
