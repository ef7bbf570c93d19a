#include "common/server_module.h"

#include "platform/win/object_dispatch.h"
#include "platform/win/windows_headers.h"

namespace q9::com {
namespace {

class ClassFactory : public IClassFactory {
 public:
  explicit ClassFactory(std::function<HRESULT(IUnknown**)> create) : create_(std::move(create)) {
    ++platform::win::LiveComObjects();
  }
  virtual ~ClassFactory() { --platform::win::LiveComObjects(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
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
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    IUnknown* object = nullptr;
    HRESULT hr = create_(&object);
    if (FAILED(hr)) return hr;
    hr = object->QueryInterface(riid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++ServerLocks();
    } else {
      --ServerLocks();
    }
    return S_OK;
  }

 private:
  std::function<HRESULT(IUnknown**)> create_;
  std::atomic<long> refs_{1};
};

LONG SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY h = nullptr;
  LONG rc = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
  return rc;
}

}  // namespace

HMODULE& ThisModule() {
  static HMODULE module = nullptr;
  return module;
}

std::wstring ThisModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::atomic<long>& ServerLocks() {
  static std::atomic<long> locks{0};
  return locks;
}

HRESULT CanUnloadNow() {
  return platform::win::LiveComObjects() == 0 && ServerLocks() == 0 ? S_OK : S_FALSE;
}

IClassFactory* NewClassFactory(std::function<HRESULT(IUnknown**)> create) {
  return new ClassFactory(std::move(create));
}

HRESULT RegisterComClass(const ClassRegistration& c) {
  const std::wstring key = L"CLSID\\" + c.clsid;
  LONG rc = SetValue(HKEY_CLASSES_ROOT, key, nullptr, c.description);
  if (rc == ERROR_SUCCESS) {
    rc = SetValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", nullptr, ThisModulePath());
  }
  if (rc == ERROR_SUCCESS) {
    rc = SetValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"ThreadingModel",
                  c.threading_model);
  }
  if (rc == ERROR_SUCCESS) rc = SetValue(HKEY_CLASSES_ROOT, key + L"\\ProgID", nullptr, c.prog_id);
  if (rc == ERROR_SUCCESS && !c.type_library.empty()) {
    rc = SetValue(HKEY_CLASSES_ROOT, key + L"\\TypeLib", nullptr, c.type_library);
  }
  if (rc == ERROR_SUCCESS && !c.version.empty()) {
    rc = SetValue(HKEY_CLASSES_ROOT, key + L"\\VERSION", nullptr, c.version);
  }
  if (rc == ERROR_SUCCESS) rc = SetValue(HKEY_CLASSES_ROOT, c.prog_id, nullptr, c.description);
  if (rc == ERROR_SUCCESS) {
    rc = SetValue(HKEY_CLASSES_ROOT, c.prog_id + L"\\CLSID", nullptr, c.clsid);
  }
  if (rc != ERROR_SUCCESS) {
    UnregisterComClass(c);
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

HRESULT UnregisterComClass(const ClassRegistration& c) {
  LONG a = RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + c.clsid).c_str());
  LONG b = RegDeleteTreeW(HKEY_CLASSES_ROOT, c.prog_id.c_str());
  auto ok = [](LONG rc) { return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND; };
  return ok(a) && ok(b) ? S_OK : SELFREG_E_CLASS;
}

std::wstring Widen(const char* ascii) {
  return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii));
}

}  // namespace q9::com
