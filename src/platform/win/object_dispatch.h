// Late binding across COM, both ways. Windows build only.
//
// ObjectDispatch: a native Object as an IDispatch. Names get ids on first sight (matched without
// regard to letter case); DISPID_VALUE is the object's default member. An error of the object
// becomes DISP_E_EXCEPTION with its number, source and description. A call from a thread other
// than the one that made the wrapper gets RPC_E_WRONG_THREAD: an apartment object is used on its
// apartment's thread only.
//
// DispatchObject: an IDispatch as a native Object, so the component calls a caller's login object
// or a registered ERP class as it calls its own. Every argument goes by reference, so the callee
// may write back; what it changed is copied into the caller's Variant.
#pragma once

#ifdef _WIN32

#include <atomic>
#include <string>

#include "platform/dispatch.h"
#include "platform/win/windows_headers.h"

namespace q9::platform::win {

// A new wrapper of `object` with one reference, owned by the caller.
IDispatch* NewObjectDispatch(ObjectPtr object);
// The native object `unknown` wraps, when this module made the wrapper; null otherwise (the
// wrappers of another module, built from the same sources, are foreign: their objects live on
// another heap).
ObjectPtr NativeObject(IUnknown* unknown);

// COM objects of this module alive now (wrappers, class factories, the server's instances); a
// module answers DllCanUnloadNow by it and its lock count.
std::atomic<long>& LiveComObjects();

class DispatchObject : public Object {
 public:
  // Takes a reference of its own.
  explicit DispatchObject(IDispatch* dispatch);
  ~DispatchObject() override;
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  Variant Invoke(std::string_view name, InvokeKind kind, Args& args) override;
  std::string ClassName() const override;
  IDispatch* dispatch() const { return dispatch_; }

 private:
  IDispatch* dispatch_;
};

// An object of a class registered under `prog_id` in the system's registry, created in process
// (CoCreateInstance); null when no class is registered under that name. A registered class that
// fails to create raises error 429 naming it.
ObjectPtr CreateRegisteredObject(std::string_view prog_id);

}  // namespace q9::platform::win

#endif  // _WIN32
