#include "platform/dispatch.h"

#include <map>
#include <mutex>

#include "platform/error.h"
#ifdef _WIN32
#include "platform/win/object_dispatch.h"
#endif

namespace q9::platform {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerName(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

// Process-wide, like the system's class registry.
std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::string, ObjectFactory>& Registry() {
  static std::map<std::string, ObjectFactory> registry;
  return registry;
}

const char* KindText(InvokeKind kind) {
  switch (kind) {
    case InvokeKind::kMethod: return "method";
    case InvokeKind::kPropertyGet: return "property get";
    case InvokeKind::kPropertyPut: return "property put";
    case InvokeKind::kPropertyPutRef: return "property put by reference";
  }
  return "";
}

}  // namespace

Args& Args::Val(Variant v) {
  owned_.push_back(std::make_unique<Variant>(std::move(v)));
  refs_.push_back(owned_.back().get());
  return *this;
}

Args& Args::Ref(Variant* var) {
  refs_.push_back(var);
  return *this;
}

Args& Args::Omitted() { return Val(Variant::Missing()); }

const Variant& Args::Get(size_t i) const {
  static const Variant kMissing = Variant::Missing();
  return i < refs_.size() ? *refs_[i] : kMissing;
}

bool SameMemberName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

Variant CallMethod(const Variant& target, std::string_view name, Args& args) {
  return target.ToObject()->Invoke(name, InvokeKind::kMethod, args);
}

Variant CallMethod(const Variant& target, std::string_view name) {
  Args none;
  return CallMethod(target, name, none);
}

Variant GetProperty(const Variant& target, std::string_view name, Args& args) {
  return target.ToObject()->Invoke(name, InvokeKind::kPropertyGet, args);
}

Variant GetProperty(const Variant& target, std::string_view name) {
  Args none;
  return GetProperty(target, name, none);
}

void PutProperty(const Variant& target, std::string_view name, Variant value) {
  Args args;
  args.Val(std::move(value));
  target.ToObject()->Invoke(name, InvokeKind::kPropertyPut, args);
}

void PutPropertyRef(const Variant& target, std::string_view name, Variant value) {
  Args args;
  args.Val(std::move(value));
  target.ToObject()->Invoke(name, InvokeKind::kPropertyPutRef, args);
}

MemberTable& MemberTable::Method(std::string name, Handler h) {
  entries_.push_back({LowerName(name), InvokeKind::kMethod, std::move(h)});
  return *this;
}
MemberTable& MemberTable::Get(std::string name, Handler h) {
  entries_.push_back({LowerName(name), InvokeKind::kPropertyGet, std::move(h)});
  return *this;
}
MemberTable& MemberTable::Put(std::string name, Handler h) {
  entries_.push_back({LowerName(name), InvokeKind::kPropertyPut, std::move(h)});
  return *this;
}
MemberTable& MemberTable::PutRef(std::string name, Handler h) {
  entries_.push_back({LowerName(name), InvokeKind::kPropertyPutRef, std::move(h)});
  return *this;
}

Variant MemberTable::Invoke(const std::string& class_name, std::string_view name,
                            InvokeKind kind, Args& args) const {
  const Entry* fallback = nullptr;
  for (const Entry& e : entries_) {
    if (!SameMemberName(e.name, name)) continue;
    if (e.kind == kind) return e.handler(args);
    // Automation lets a caller read a property with method syntax and call a method with
    // property syntax; a put by reference falls back to a put.
    bool read_like = (kind == InvokeKind::kMethod || kind == InvokeKind::kPropertyGet) &&
                     (e.kind == InvokeKind::kMethod || e.kind == InvokeKind::kPropertyGet);
    bool put_like = kind == InvokeKind::kPropertyPutRef && e.kind == InvokeKind::kPropertyPut;
    if (read_like || put_like) fallback = &e;
  }
  if (fallback) return fallback->handler(args);
  throw MemberNotFound(class_name + "." + std::string(name) + " (" + KindText(kind) + ")");
}

Variant ForwardingObject::Invoke(std::string_view name, InvokeKind kind, Args& args) {
  return inner_->Invoke(name, kind, args);
}

void RegisterProgId(const std::string& prog_id, ObjectFactory factory) {
  std::lock_guard lock(RegistryMutex());
  Registry()[LowerName(prog_id)] = std::move(factory);
}

void UnregisterProgId(const std::string& prog_id) {
  std::lock_guard lock(RegistryMutex());
  Registry().erase(LowerName(prog_id));
}

ObjectPtr CreateObject(std::string_view prog_id) {
  ObjectFactory factory;
  {
    std::lock_guard lock(RegistryMutex());
    auto it = Registry().find(LowerName(prog_id));
    if (it != Registry().end()) factory = it->second;
  }
  if (!factory) {
#ifdef _WIN32
    // On Windows a class registered in the system's registry is created through COM.
    if (ObjectPtr registered = win::CreateRegisteredObject(prog_id)) return registered;
#endif
    throw CannotCreateObject(std::string(prog_id));
  }
  ObjectPtr created = factory();
  if (!created) throw CannotCreateObject(std::string(prog_id));
  return created;
}

ScopedProgId::ScopedProgId(std::string prog_id, ObjectFactory factory)
    : prog_id_(std::move(prog_id)) {
  {
    std::lock_guard lock(RegistryMutex());
    auto it = Registry().find(LowerName(prog_id_));
    if (it != Registry().end()) previous_ = it->second;
  }
  RegisterProgId(prog_id_, std::move(factory));
}

ScopedProgId::~ScopedProgId() {
  if (previous_) {
    RegisterProgId(prog_id_, std::move(previous_));
  } else {
    UnregisterProgId(prog_id_);
  }
}

}  // namespace q9::platform
