#ifdef _WIN32

#include "platform/win/object_dispatch.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <vector>

#include "platform/error.h"
#include "platform/win/com_error.h"
#include "platform/win/com_text.h"
#include "platform/win/com_variant.h"
#include "platform/win/windows_headers.h"

namespace q9::platform::win {
namespace {

// Private interface through which a wrapper of this module gives its native object back.
// {6B1F6C1E-3A5D-4C2B-9E4F-0D8A7C51B2F0}
const IID kIidNativeObject = {
    0x6b1f6c1e, 0x3a5d, 0x4c2b, {0x9e, 0x4f, 0x0d, 0x8a, 0x7c, 0x51, 0xb2, 0xf0}};

// IDispatchEx's IID (not in MinGW's uuid library): {A6EF9860-C720-11D0-9337-00A0C90DCAA9}.
const IID kIidDispatchEx = {
    0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};

// Identifies this module: a wrapper hands its object only to code of the module that made it.
char module_token;

struct INativeObject : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetNative(const void* token, ObjectPtr* out) = 0;
};

// Member names and their ids, shared by every wrapper of the module.
class NameTable {
 public:
  DISPID IdOf(std::string_view name) {
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::lock_guard lock(mutex_);
    auto it = ids_.find(key);
    if (it != ids_.end()) return it->second;
    DISPID id = static_cast<DISPID>(1000 + names_.size());
    ids_.emplace(key, id);
    names_.emplace_back(name);
    return id;
  }
  bool NameOf(DISPID id, std::string* name) {
    std::lock_guard lock(mutex_);
    if (id < 1000 || static_cast<size_t>(id - 1000) >= names_.size()) return false;
    *name = names_[static_cast<size_t>(id - 1000)];
    return true;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, DISPID> ids_;
  std::vector<std::string> names_;
};

NameTable& Names() {
  static NameTable table;
  return table;
}

InvokeKind KindOf(WORD flags) {
  if (flags & DISPATCH_PROPERTYPUTREF) return InvokeKind::kPropertyPutRef;
  if (flags & DISPATCH_PROPERTYPUT) return InvokeKind::kPropertyPut;
  if (flags & DISPATCH_METHOD) return InvokeKind::kMethod;
  return InvokeKind::kPropertyGet;
}

// The items of a collection (Count and Item(i), 0-based) for For Each: IEnumVARIANT over a
// snapshot taken when the enumeration starts.
class ItemEnumerator : public IEnumVARIANT {
 public:
  explicit ItemEnumerator(std::vector<Variant> items, size_t next = 0)
      : items_(std::move(items)), next_(next) {
    ++LiveComObjects();
  }
  virtual ~ItemEnumerator() { --LiveComObjects(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumVARIANT)) {
      *out = static_cast<IEnumVARIANT*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    long left = --refs_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
    if (!out) return E_POINTER;
    ULONG n = 0;
    for (; n < count && next_ < items_.size(); ++n, ++next_) ToVariant(items_[next_], &out[n]);
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    next_ = std::min(items_.size(), next_ + count);
    return next_ < items_.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
    if (!out) return E_POINTER;
    *out = new ItemEnumerator(items_, next_);
    return S_OK;
  }

 private:
  std::vector<Variant> items_;
  size_t next_;
  std::atomic<long> refs_{1};
};

class ObjectDispatch : public IDispatch, public INativeObject {
 public:
  explicit ObjectDispatch(ObjectPtr object)
      : object_(std::move(object)), thread_(GetCurrentThreadId()) {
    ++LiveComObjects();
  }
  virtual ~ObjectDispatch() { --LiveComObjects(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(riid, kIidNativeObject)) {
      *out = static_cast<INativeObject*>(this);
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
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE GetNative(const void* token, ObjectPtr* out) override {
    if (token != &module_token || !out) return E_FAIL;
    *out = object_;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!names || !ids) return E_POINTER;
    if (count == 0) return S_OK;
    std::string first = WideToUtf8(names[0]);
    ids[0] = SameMemberName(first, "_NewEnum") ? DISPID_NEWENUM : Names().IdOf(first);
    // Named arguments are not supported: a put's value is the only one, and it has its own id.
    for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override {
    if (GetCurrentThreadId() != thread_) return RPC_E_WRONG_THREAD;
    if (!params) return E_POINTER;
    std::string name;
    if (id == DISPID_NEWENUM) return Enumerate(result, excep);
    if (id == DISPID_VALUE) {
      name = std::string(object_->DefaultMember());
      if (name.empty()) return DISP_E_MEMBERNOTFOUND;
    } else if (!Names().NameOf(id, &name)) {
      return DISP_E_MEMBERNOTFOUND;
    }
    InvokeKind kind = KindOf(flags);
    for (UINT i = 0; i < params->cNamedArgs; ++i) {
      if (params->rgdispidNamedArgs[i] != DISPID_PROPERTYPUT) return DISP_E_NONAMEDARGS;
    }
    // rgvarg holds the arguments last first.
    UINT n = params->cArgs;
    std::vector<Variant> values(n);
    Args args;
    for (UINT i = 0; i < n; ++i) {
      VARIANT& arg = params->rgvarg[n - 1 - i];
      try {
        values[i] = FromVariant(arg);
      } catch (const ComError&) {
        if (arg_err) *arg_err = n - 1 - i;
        return DISP_E_TYPEMISMATCH;
      }
      if (V_VT(&arg) & VT_BYREF) {
        args.Ref(&values[i]);
      } else {
        args.Val(values[i]);
      }
    }
    try {
      std::vector<Variant> before = values;
      Variant value = object_->Invoke(name, kind, args);
      for (UINT i = 0; i < n; ++i) {
        VARIANT& arg = params->rgvarg[n - 1 - i];
        if ((V_VT(&arg) & VT_BYREF) && !(values[i] == before[i])) StoreByRef(values[i], &arg);
      }
      if (result) ToVariant(value, result);
      return S_OK;
    } catch (const ComError& e) {
      FillExcepInfo(e, excep);
      return DISP_E_EXCEPTION;
    } catch (const std::exception& e) {
      FillExcepInfo(ComError(kErrProvider, object_->ClassName(), e.what()), excep);
      return DISP_E_EXCEPTION;
    }
  }

 private:
  HRESULT Enumerate(VARIANT* result, EXCEPINFO* excep) {
    try {
      Args none;
      int32_t count = object_->Invoke("Count", InvokeKind::kPropertyGet, none).ToI4();
      std::vector<Variant> items;
      for (int32_t i = 0; i < count; ++i) {
        Args at;
        at.Val(Variant(i));
        items.push_back(object_->Invoke("Item", InvokeKind::kPropertyGet, at));
      }
      if (result) {
        VariantInit(result);
        V_VT(result) = VT_UNKNOWN;
        V_UNKNOWN(result) = new ItemEnumerator(std::move(items));
      }
      return S_OK;
    } catch (const ComError& e) {
      FillExcepInfo(e, excep);
      return DISP_E_EXCEPTION;
    }
  }

  ObjectPtr object_;
  DWORD thread_;
  std::atomic<long> refs_{1};
};

}  // namespace

std::atomic<long>& LiveComObjects() {
  static std::atomic<long> count{0};
  return count;
}

IDispatch* NewObjectDispatch(ObjectPtr object) {
  return static_cast<IDispatch*>(new ObjectDispatch(std::move(object)));
}

ObjectPtr NativeObject(IUnknown* unknown) {
  if (!unknown) return nullptr;
  INativeObject* native = nullptr;
  if (FAILED(unknown->QueryInterface(kIidNativeObject, reinterpret_cast<void**>(&native)))) {
    return nullptr;
  }
  ObjectPtr object;
  HRESULT hr = native->GetNative(&module_token, &object);
  native->Release();
  return SUCCEEDED(hr) ? object : nullptr;
}

DispatchObject::DispatchObject(IDispatch* dispatch) : dispatch_(dispatch) { dispatch_->AddRef(); }

DispatchObject::~DispatchObject() { dispatch_->Release(); }

std::string DispatchObject::ClassName() const {
  ITypeInfo* info = nullptr;
  std::string name = "Object";
  if (SUCCEEDED(dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)) && info) {
    BSTR type_name = nullptr;
    if (SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &type_name, nullptr, nullptr, nullptr))) {
      name = BstrToUtf8(type_name);
      SysFreeString(type_name);
    }
    info->Release();
  }
  return name;
}

Variant DispatchObject::Invoke(std::string_view name, InvokeKind kind, Args& args) {
  std::wstring wide = Utf8ToWide(name);
  LPOLESTR names[] = {wide.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    // Script objects may answer names through IDispatchEx only.
    IDispatchEx* ex = nullptr;
    if (SUCCEEDED(dispatch_->QueryInterface(kIidDispatchEx, reinterpret_cast<void**>(&ex)))) {
      BSTR member = SysAllocString(wide.c_str());
      hr = ex->GetDispID(member, fdexNameCaseInsensitive, &id);
      SysFreeString(member);
      ex->Release();
    }
  }
  if (FAILED(hr)) throw MemberNotFound(ClassName() + "." + std::string(name));

  size_t n = args.size();
  bool put = kind == InvokeKind::kPropertyPut || kind == InvokeKind::kPropertyPutRef;
  // Values the callee sees (by reference) and the variants it is handed, last argument first.
  std::vector<VARIANT> values(n);
  std::vector<VARIANT> original(n);
  std::vector<VARIANT> passed(n);
  struct Cleanup {
    std::vector<VARIANT>* a;
    std::vector<VARIANT>* b;
    ~Cleanup() {
      for (VARIANT& v : *a) VariantClear(&v);
      for (VARIANT& v : *b) VariantClear(&v);
    }
  } cleanup{&values, &original};
  for (size_t i = 0; i < n; ++i) {
    VariantInit(&values[i]);
    VariantInit(&original[i]);
  }
  for (size_t i = 0; i < n; ++i) {
    ToVariant(args[i], &values[i]);
    VariantCopy(&original[i], &values[i]);
    VARIANT& p = passed[n - 1 - i];
    VariantInit(&p);
    bool last_of_put = put && i == n - 1;
    if (args[i].is_missing() || last_of_put) {
      p = values[i];  // by value: a shallow copy, owned by values[i]
    } else {
      V_VT(&p) = VT_BYREF | VT_VARIANT;
      V_VARIANTREF(&p) = &values[i];
    }
  }
  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS params{passed.data(), put ? &put_id : nullptr, static_cast<UINT>(n), put ? 1u : 0u};
  // A method call may also read a property (as late binding does when the result is used); a
  // property read is only that: script classes refuse a Property Get called as a method.
  WORD flags = kind == InvokeKind::kPropertyPutRef ? DISPATCH_PROPERTYPUTREF
               : kind == InvokeKind::kPropertyPut  ? DISPATCH_PROPERTYPUT
               : kind == InvokeKind::kPropertyGet  ? DISPATCH_PROPERTYGET
                                                   : DISPATCH_METHOD | DISPATCH_PROPERTYGET;
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO excep{};
  UINT arg_err = 0;
  hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, &excep,
                         &arg_err);
  if (hr == DISP_E_EXCEPTION) throw ErrorFromExcepInfo(excep);
  if (FAILED(hr)) throw ErrorFromHResult(hr, ClassName() + "." + std::string(name));
  for (size_t i = 0; i < n; ++i) {
    if (!SameVariant(values[i], original[i])) args[i] = FromVariant(values[i]);
  }
  Variant value = FromVariant(result);
  VariantClear(&result);
  return value;
}

ObjectPtr CreateRegisteredObject(std::string_view prog_id) {
  std::wstring wide = Utf8ToWide(prog_id);
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(wide.c_str(), &clsid))) return nullptr;
  IDispatch* dispatch = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  if (FAILED(hr) || !dispatch) throw CannotCreateObject(std::string(prog_id));
  auto object = std::make_shared<DispatchObject>(dispatch);
  dispatch->Release();
  return object;
}

}  // namespace q9::platform::win

#endif  // _WIN32
