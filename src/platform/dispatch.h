// Late binding: objects invoked by member name, and creation by ProgID.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/variant.h"

namespace q9::platform {

enum class InvokeKind { kMethod, kPropertyGet, kPropertyPut, kPropertyPutRef };

// The arguments of one call. Each entry points at a variant: for an argument passed by reference
// it is the caller's own variable (the callee may change it); for one passed by value it is a
// copy the call owns. An optional argument left out is a variant of type Missing.
class Args {
 public:
  Args() = default;
  // Adds a by-value argument (a copy).
  Args& Val(Variant v);
  // Adds a by-reference argument: the callee sees and may change `*var`.
  Args& Ref(Variant* var);
  // Adds an omitted optional argument.
  Args& Omitted();

  size_t size() const { return refs_.size(); }
  Variant& operator[](size_t i) const { return *refs_[i]; }
  // Argument i, or Missing when the caller passed fewer.
  const Variant& Get(size_t i) const;
  bool IsGiven(size_t i) const { return i < size() && !refs_[i]->is_missing(); }

 private:
  std::vector<std::unique_ptr<Variant>> owned_;
  std::vector<Variant*> refs_;
};

// An automation object: everything the component reaches by late binding is one of these.
class Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object() = default;
  // Invokes member `name` (matched without regard to letter case). Unknown member: error 438.
  virtual Variant Invoke(std::string_view name, InvokeKind kind, Args& args) = 0;
  // A short name of the class, for messages.
  virtual std::string ClassName() const = 0;
  // The member a caller reaches without naming one (obj(args) or the object used as a value);
  // empty when the object has none.
  virtual std::string_view DefaultMember() const { return {}; }
};

// Convenience calls on a variant that must hold an object (error 91 when it holds Nothing).
Variant CallMethod(const Variant& target, std::string_view name, Args& args);
Variant CallMethod(const Variant& target, std::string_view name);
Variant GetProperty(const Variant& target, std::string_view name);
Variant GetProperty(const Variant& target, std::string_view name, Args& args);
void PutProperty(const Variant& target, std::string_view name, Variant value);
void PutPropertyRef(const Variant& target, std::string_view name, Variant value);

// Case-insensitive comparison of member names (ASCII letters only, as automation does).
bool SameMemberName(std::string_view a, std::string_view b);

// A table of members for objects written in C++: each member a handler for the invoke kinds
// it supports. Unknown member or kind: error 438 naming the member.
class MemberTable {
 public:
  using Handler = std::function<Variant(Args&)>;
  MemberTable& Method(std::string name, Handler h);
  MemberTable& Get(std::string name, Handler h);
  MemberTable& Put(std::string name, Handler h);  // the new value is the last argument
  MemberTable& PutRef(std::string name, Handler h);
  Variant Invoke(const std::string& class_name, std::string_view name, InvokeKind kind,
                 Args& args) const;

 private:
  struct Entry {
    std::string name;
    InvokeKind kind;
    Handler handler;
  };
  std::vector<Entry> entries_;
};

// An object written in C++ whose members are the entries of a MemberTable the derived class fills
// in its constructor.
class MemberObject : public Object {
 public:
  explicit MemberObject(std::string class_name) : class_name_(std::move(class_name)) {}
  Variant Invoke(std::string_view name, InvokeKind kind, Args& args) override {
    return members_.Invoke(class_name_, name, kind, args);
  }
  std::string ClassName() const override { return class_name_; }

 protected:
  MemberTable members_;

 private:
  std::string class_name_;
};

// Forwards every call to an inner object; a test double overrides Invoke, handles the member it
// changes and calls ForwardingObject::Invoke for the rest.
class ForwardingObject : public Object {
 public:
  explicit ForwardingObject(ObjectPtr inner) : inner_(std::move(inner)) {}
  Variant Invoke(std::string_view name, InvokeKind kind, Args& args) override;
  std::string ClassName() const override { return inner_->ClassName(); }
  const ObjectPtr& inner() const { return inner_; }

 private:
  ObjectPtr inner_;
};

// The registry of creatable classes by ProgID, process-wide like the system's class registry.
// CreateObject of an unknown ProgID raises error 429 naming it.
using ObjectFactory = std::function<ObjectPtr()>;
void RegisterProgId(const std::string& prog_id, ObjectFactory factory);
void UnregisterProgId(const std::string& prog_id);
ObjectPtr CreateObject(std::string_view prog_id);

// Registers `factory` under `prog_id` for the lifetime of the guard, restoring what was there
// before; tests use it to put a double in place of a class.
class ScopedProgId {
 public:
  ScopedProgId(std::string prog_id, ObjectFactory factory);
  ~ScopedProgId();
  ScopedProgId(const ScopedProgId&) = delete;
  ScopedProgId& operator=(const ScopedProgId&) = delete;

 private:
  std::string prog_id_;
  ObjectFactory previous_;
};

}  // namespace q9::platform
