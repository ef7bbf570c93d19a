#include "server/iclskczt_server.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/server_module.h"
#include "component/iclskczt.h"
#include "component/method_frame.h"
#include "platform/error.h"
#include "platform/win/com_error.h"
#include "platform/win/com_text.h"
#include "platform/win/com_variant.h"
#include "platform/win/object_dispatch.h"
#include "server/guids.h"
#include "server/iclskczt_members.h"

namespace q9::com {
namespace {

using platform::ComError;
using platform::Variant;
namespace win = platform::win;

const MemberInfo* FindMember(DISPID id) {
  for (const MemberInfo& m : kMembers) {
    if (m.id == id) return &m;
  }
  return nullptr;
}

VARIANT Missing() {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_ERROR;
  V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
  return v;
}

VARIANT Ref(VARTYPE vt, void* p) {
  if (!p) return Missing();
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = static_cast<VARTYPE>(VT_BYREF | vt);
  V_BYREF(&v) = p;
  return v;
}

VARIANT Val(VARTYPE vt) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = vt;
  return v;
}

bool IsMissing(const VARIANT& v) {
  return V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND;
}

// Text of a by-reference text argument the method writes back only when it changed.
std::string TextOf(const Variant& v) { return v.is_missing() ? std::string() : v.ConcatText(); }

// Arguments given as the type library declares them are converted inside the method's frame, so
// a wrong type ends as the method's failure path: False and the description in its message
// argument for a method with an error handler, a COM error for one without.
bool Handled(Variant* msg, const std::string& prefix, const std::function<bool()>& work) {
  return component::RunWithHandler(work, [&](const std::string& d) {
    if (msg && !msg->is_missing()) *msg = Variant(prefix + d);
  });
}

Variant* Optional(std::vector<Variant>& v, size_t i) { return v[i].is_missing() ? nullptr : &v[i]; }

class Server : public _IClsKCZT, public ISupportErrorInfo {
 public:
  Server() : thread_(GetCurrentThreadId()), impl_(std::make_unique<component::IClsKCZT>()) {
    ++win::LiveComObjects();
  }
  virtual ~Server() {
    impl_.reset();
    if (type_info_) type_info_->Release();
    --win::LiveComObjects();
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, GuidOf(component::kIid))) {
      *out = static_cast<_IClsKCZT*>(this);
    } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
      *out = static_cast<ISupportErrorInfo*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    long left = --refs_;
    if (left == 0) {
      // The instance's termination releases its apartment's globals on its own thread; from
      // another thread it would touch that apartment's state unguarded, so it is left alive.
      if (GetCurrentThreadId() == thread_) delete this;
    }
    return static_cast<ULONG>(left);
  }

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return IsEqualIID(riid, GuidOf(component::kIid)) ? S_OK : S_FALSE;
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    HRESULT hr = LoadTypeInfo();
    if (FAILED(hr)) return hr;
    type_info_->AddRef();
    *info = type_info_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!names || !ids) return E_POINTER;
    if (count == 0) return S_OK;
    const MemberInfo* member = nullptr;
    for (const MemberInfo& m : kMembers) {
      if (CompareStringOrdinal(names[0], -1, m.name, -1, TRUE) == CSTR_EQUAL) member = &m;
    }
    HRESULT hr = S_OK;
    ids[0] = member ? member->id : DISPID_UNKNOWN;
    if (!member) hr = DISP_E_UNKNOWNNAME;
    for (UINT i = 1; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      for (size_t a = 0; member && a < member->args.size(); ++a) {
        if (CompareStringOrdinal(names[i], -1, member->args[a].name, -1, TRUE) == CSTR_EQUAL) {
          ids[i] = static_cast<DISPID>(a);
        }
      }
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override {
    if (GetCurrentThreadId() != thread_) return RPC_E_WRONG_THREAD;
    if (!params) return E_POINTER;
    const MemberInfo* member = FindMember(id);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_METHOD) && !(flags & DISPATCH_PROPERTYGET)) {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
    std::vector<VARIANT*> args;
    for (UINT i = 0; i < params->cArgs; ++i) args.push_back(&params->rgvarg[params->cArgs - 1 - i]);
    VARIANT value;
    VariantInit(&value);
    std::optional<ComError> error;
    HRESULT hr = Call(*member, args, &value, &error, arg_err);
    if (hr == DISP_E_EXCEPTION) {
      win::FillExcepInfo(*error, excep);
      return hr;
    }
    if (FAILED(hr)) return hr;
    if (result) {
      *result = value;
    } else {
      VariantClear(&value);
    }
    return S_OK;
  }

  // _IClsKCZT: each method hands its arguments, as variants, to the same call as Invoke.
  HRESULT STDMETHODCALLTYPE Init(IDispatch* oLogin, BSTR* sMsg, VARIANT_BOOL* result) override {
    VARIANT a[] = {Val(VT_DISPATCH), Ref(VT_BSTR, sMsg)};
    V_DISPATCH(&a[0]) = oLogin;
    return Direct(component::kDispIdInit, a, result);
  }
  HRESULT STDMETHODCALLTYPE OpenPage(BSTR sXml, VARIANT* Rs1, VARIANT* Rs2, short iSelectTz,
                                     VARIANT* sMsg, VARIANT* CurPosition,
                                     VARIANT_BOOL* result) override {
    VARIANT a[] = {Text(sXml),    Ref(VT_VARIANT, Rs1),  Ref(VT_VARIANT, Rs2),
                   I2(iSelectTz), Ref(VT_VARIANT, sMsg), Ref(VT_VARIANT, CurPosition)};
    return Direct(component::kDispIdOpenPage, a, result);
  }
  HRESULT STDMETHODCALLTYPE OpenX(BSTR sXml, VARIANT* Rs1, short iSelectTz, VARIANT* sMsg,
                                  VARIANT_BOOL* result) override {
    VARIANT a[] = {Text(sXml), Ref(VT_VARIANT, Rs1), I2(iSelectTz), Ref(VT_VARIANT, sMsg)};
    return Direct(component::kDispIdOpenX, a, result);
  }
  HRESULT STDMETHODCALLTYPE GetPeriodDay(VARIANT* rs, VARIANT* sMsg,
                                         VARIANT_BOOL* result) override {
    VARIANT a[] = {Ref(VT_VARIANT, rs), Ref(VT_VARIANT, sMsg)};
    return Direct(component::kDispIdGetPeriodDay, a, result);
  }
  HRESULT STDMETHODCALLTYPE GetDefineName(VARIANT* rs, VARIANT* Msg,
                                          VARIANT_BOOL* result) override {
    VARIANT a[] = {Ref(VT_VARIANT, rs), Ref(VT_VARIANT, Msg)};
    return Direct(component::kDispIdGetDefineName, a, result);
  }
  HRESULT STDMETHODCALLTYPE GetFreeName(VARIANT* rs, VARIANT* Msg, VARIANT_BOOL* result) override {
    VARIANT a[] = {Ref(VT_VARIANT, rs), Ref(VT_VARIANT, Msg)};
    return Direct(component::kDispIdGetFreeName, a, result);
  }
  HRESULT STDMETHODCALLTYPE GetHDefineName(VARIANT* rs, VARIANT* Msg,
                                           VARIANT_BOOL* result) override {
    VARIANT a[] = {Ref(VT_VARIANT, rs), Ref(VT_VARIANT, Msg)};
    return Direct(component::kDispIdGetHDefineName, a, result);
  }
  HRESULT STDMETHODCALLTYPE GetBDefineName(VARIANT* rs, VARIANT* Msg,
                                           VARIANT_BOOL* result) override {
    VARIANT a[] = {Ref(VT_VARIANT, rs), Ref(VT_VARIANT, Msg)};
    return Direct(component::kDispIdGetBDefineName, a, result);
  }
  HRESULT STDMETHODCALLTYPE GetRefData(VARIANT_BOOL blnRefMode, BSTR strTable, BSTR strFilter,
                                       BSTR strKeyWord, BSTR strOrder, short intPageSize,
                                       long* intCurPage, long* intPageCount, VARIANT* rs,
                                       VARIANT* RsCol, VARIANT* errMsg,
                                       VARIANT_BOOL* result) override {
    VARIANT mode = Val(VT_BOOL);
    V_BOOL(&mode) = blnRefMode;
    VARIANT a[] = {mode,
                   Text(strTable),
                   Text(strFilter),
                   Text(strKeyWord),
                   Text(strOrder),
                   I2(intPageSize),
                   Ref(VT_I4, intCurPage),
                   Ref(VT_I4, intPageCount),
                   Ref(VT_VARIANT, rs),
                   Ref(VT_VARIANT, RsCol),
                   Ref(VT_VARIANT, errMsg)};
    return Direct(component::kDispIdGetRefData, a, result);
  }
  HRESULT STDMETHODCALLTYPE SaveFormat(BSTR sXml, BSTR* Msg, VARIANT_BOOL* result) override {
    VARIANT a[] = {Text(sXml), Ref(VT_BSTR, Msg)};
    return Direct(component::kDispIdSaveFormat, a, result);
  }
  HRESULT STDMETHODCALLTYPE GetTaskAuth(BSTR P_AuthId, short LockNum, VARIANT* Msg,
                                        VARIANT_BOOL* result) override {
    VARIANT a[] = {Text(P_AuthId), I2(LockNum), Ref(VT_VARIANT, Msg)};
    return Direct(component::kDispIdGetTaskAuth, a, result);
  }
  HRESULT STDMETHODCALLTYPE GetQueryFormat(BSTR QueryName, IDispatch** rsFormat, BSTR* sMsg,
                                           VARIANT* sQueryid, VARIANT_BOOL* result) override {
    VARIANT a[] = {Text(QueryName), Ref(VT_DISPATCH, rsFormat), Ref(VT_BSTR, sMsg),
                   Ref(VT_VARIANT, sQueryid)};
    return Direct(component::kDispIdGetQueryFormat, a, result);
  }
  HRESULT STDMETHODCALLTYPE PrintSrv(VARIANT* strCommand, VARIANT* varParam, VARIANT* varReturn,
                                     BSTR* sError, VARIANT* result) override {
    VARIANT a[] = {Ref(VT_VARIANT, strCommand), Ref(VT_VARIANT, varParam),
                   Ref(VT_VARIANT, varReturn), Ref(VT_BSTR, sError)};
    std::vector<VARIANT*> args;
    for (VARIANT& v : a) args.push_back(&v);
    if (!result) return E_POINTER;
    VariantInit(result);
    std::optional<ComError> error;
    HRESULT hr = Call(*FindMember(component::kDispIdPrintSrv), args, result, &error, nullptr);
    if (hr == DISP_E_EXCEPTION) return win::SetErrorInfoFrom(*error, GuidOf(component::kIid));
    return hr;
  }

 private:
  static VARIANT Text(BSTR s) {
    VARIANT v = Val(VT_BSTR);
    V_BSTR(&v) = s;  // borrowed: never cleared here
    return v;
  }
  static VARIANT I2(short i) {
    VARIANT v = Val(VT_I2);
    V_I2(&v) = i;
    return v;
  }

  template <size_t N>
  HRESULT Direct(DISPID id, VARIANT (&a)[N], VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    std::vector<VARIANT*> args;
    for (VARIANT& v : a) args.push_back(&v);
    VARIANT value;
    VariantInit(&value);
    std::optional<ComError> error;
    HRESULT hr = Call(*FindMember(id), args, &value, &error, nullptr);
    if (hr == DISP_E_EXCEPTION) return win::SetErrorInfoFrom(*error, GuidOf(component::kIid));
    if (FAILED(hr)) return hr;
    *result = V_VT(&value) == VT_BOOL ? V_BOOL(&value) : VARIANT_FALSE;
    VariantClear(&value);
    return S_OK;
  }

  HRESULT LoadTypeInfo() {
    if (type_info_) return S_OK;
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(ThisModulePath().c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr)) return hr;
    hr = lib->GetTypeInfoOfGuid(GuidOf(component::kIid), &type_info_);
    lib->Release();
    return hr;
  }

  // The one way into the component: `args` in declared order (fewer when the caller left out
  // trailing optional ones). Writes the result into `result`; DISP_E_EXCEPTION with `error` for
  // a method without an error handler that failed.
  HRESULT Call(const MemberInfo& m, const std::vector<VARIANT*>& args, VARIANT* result,
               std::optional<ComError>* error, UINT* arg_err) {
    if (GetCurrentThreadId() != thread_) return RPC_E_WRONG_THREAD;
    if (args.size() > m.args.size()) return DISP_E_BADPARAMCOUNT;
    std::vector<Variant> v(m.args.size(), Variant::Missing());
    std::optional<ComError> bad_arg;
    for (size_t i = 0; i < m.args.size(); ++i) {
      if (i >= args.size() || IsMissing(*args[i])) {
        if (!m.args[i].optional) {
          if (arg_err) *arg_err = static_cast<UINT>(args.size() - 1 - std::min(i, args.size() - 1));
          return DISP_E_PARAMNOTOPTIONAL;
        }
        continue;
      }
      try {
        v[i] = win::FromVariant(*args[i]);
      } catch (const ComError& e) {
        // A by-reference variant the method only writes may hold anything; elsewhere the value
        // is wrong and the method's frame reports it.
        v[i] = Variant::Null();
        if (m.args[i].type != ArgType::kVariantRef && !bad_arg) bad_arg = e;
      }
    }
    std::vector<Variant> before = v;
    Variant value;
    try {
      value = Body(m.id, v, bad_arg);
    } catch (...) {
      *error = component::CurrentError();
      return DISP_E_EXCEPTION;
    }
    // Written back only where the method changed the value, so what it leaves alone stays the
    // caller's own.
    for (size_t i = 0; i < args.size(); ++i) {
      if (!(V_VT(args[i]) & VT_BYREF) || v[i] == before[i]) continue;
      try {
        win::StoreByRef(v[i], args[i]);
      } catch (const ComError& e) {
        *error = e;
        return DISP_E_EXCEPTION;
      }
    }
    win::ToVariant(value, result);
    return S_OK;
  }

  Variant Body(int32_t id, std::vector<Variant>& v, const std::optional<ComError>& bad_arg) {
    auto check = [&] {
      if (bad_arg) throw *bad_arg;
    };
    component::IClsKCZT& c = *impl_;
    switch (id) {
      case component::kDispIdInit: {
        // A login that is no object ends in Init's own failure path.
        std::string msg = TextOf(v[1]);
        bool ok = c.Init(v[0], v[1].is_missing() ? nullptr : &msg);
        if (!v[1].is_missing() && msg != TextOf(v[1])) v[1] = Variant(msg);
        return Variant(ok);
      }
      case component::kDispIdOpenPage:
        return Variant(Handled(Optional(v, 4), "", [&] {
          check();
          return c.OpenPage(v[0].ToText(), v[1], v[2], v[3].ToI2(), Optional(v, 4), Optional(v, 5));
        }));
      case component::kDispIdOpenX:
        check();
        return Variant(c.OpenX(v[0].ToText(), v[1], v[2].ToI2(), Optional(v, 3)));
      case component::kDispIdGetPeriodDay:
        return Variant(c.GetPeriodDay(v[0], v[1]));
      case component::kDispIdGetDefineName:
        return Variant(c.GetDefineName(v[0], Optional(v, 1)));
      case component::kDispIdGetFreeName:
        return Variant(c.GetFreeName(v[0], Optional(v, 1)));
      case component::kDispIdGetHDefineName:
        return Variant(c.GetHDefineName(v[0], Optional(v, 1)));
      case component::kDispIdGetBDefineName:
        return Variant(c.GetBDefineName(v[0], Optional(v, 1)));
      case component::kDispIdGetRefData:
        return Variant(Handled(&v[10], " ", [&] {
          check();
          int32_t cur = v[6].ToI4();
          int32_t count = v[7].ToI4();
          bool ok = c.GetRefData(v[0].ToBool(), v[1].ToText(), v[2].ToText(), v[3].ToText(),
                                 v[4].ToText(), v[5].ToI2(), cur, count, v[8], v[9], v[10]);
          if (cur != v[6].ToI4()) v[6] = Variant(cur);
          if (count != v[7].ToI4()) v[7] = Variant(count);
          return ok;
        }));
      case component::kDispIdSaveFormat:
        return Variant(Handled(&v[1], "", [&] {
          check();
          std::string msg = TextOf(v[1]);
          bool ok = c.SaveFormat(v[0].ToText(), msg);
          if (msg != TextOf(v[1])) v[1] = Variant(msg);
          return ok;
        }));
      case component::kDispIdGetTaskAuth:
        check();
        return Variant(c.GetTaskAuth(v[0].ToText(), v[1].ToI2(), Optional(v, 2)));
      case component::kDispIdGetQueryFormat:
        return Variant(Handled(Optional(v, 2), "", [&] {
          check();
          std::string msg = TextOf(v[2]);
          bool ok = c.GetQueryFormat(v[0].ToText(), v[1], v[2].is_missing() ? nullptr : &msg,
                                     Optional(v, 3));
          if (!v[2].is_missing() && msg != TextOf(v[2])) v[2] = Variant(msg);
          return ok;
        }));
      case component::kDispIdPrintSrv: {
        check();
        std::string error = TextOf(v[3]);
        Variant r = c.PrintSrv(v[0], v[1], v[2], error);
        if (error != TextOf(v[3])) v[3] = Variant(error);
        return r;
      }
      default:
        throw platform::MemberNotFound(std::to_string(id));
    }
  }

  DWORD thread_;
  std::unique_ptr<component::IClsKCZT> impl_;
  ITypeInfo* type_info_ = nullptr;
  std::atomic<long> refs_{1};
};

}  // namespace

HRESULT CreateIClsKCZT(IUnknown** out) {
  if (!out) return E_POINTER;
  try {
    *out = static_cast<_IClsKCZT*>(new Server());
    return S_OK;
  } catch (...) {
    *out = nullptr;
    return E_OUTOFMEMORY;
  }
}

}  // namespace q9::com
