// Test doubles for any layer: an automation object whose members a test scripts and which records
// every call, and a gLogin whose OldLogin is such an object. Header-only; for *_test.cpp files.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/dispatch.h"
#include "platform/variant.h"

namespace q9::testing {

// One call an object saw: the member, how it was invoked, and copies of its arguments as they came.
struct Call {
  std::string member;
  platform::InvokeKind kind;
  std::vector<platform::Variant> args;
};

// Members without a script answer Empty. Objects that share `calls` show the order across them.
class ScriptedObject : public platform::Object {
 public:
  using Script = std::function<platform::Variant(platform::Args&)>;
  std::map<std::string, Script> scripts;
  std::shared_ptr<std::vector<Call>> calls = std::make_shared<std::vector<Call>>();

  platform::Variant Invoke(std::string_view name, platform::InvokeKind kind,
                           platform::Args& args) override {
    Call call{std::string(name), kind, {}};
    for (size_t i = 0; i < args.size(); ++i) call.args.push_back(args[i]);
    calls->push_back(std::move(call));
    for (auto& [member, script] : scripts) {
      if (platform::SameMemberName(name, member)) return script(args);
    }
    return platform::Variant();
  }
  std::string ClassName() const override { return "ScriptedObject"; }

  std::vector<std::string> Members() const {
    std::vector<std::string> members;
    for (const Call& c : *calls) members.push_back(c.member);
    return members;
  }
  std::vector<std::vector<platform::Variant>> Arguments() const {
    std::vector<std::vector<platform::Variant>> arguments;
    for (const Call& c : *calls) arguments.push_back(c.args);
    return arguments;
  }
};

// A member script that answers `value` whatever it is given.
inline ScriptedObject::Script Answer(platform::Variant value) {
  return [value](platform::Args&) { return value; };
}

// A gLogin whose OldLogin is `inner`; its reads go into the inner object's calls.
inline std::shared_ptr<ScriptedObject> LoginOf(const std::shared_ptr<ScriptedObject>& inner) {
  auto login = std::make_shared<ScriptedObject>();
  login->calls = inner->calls;
  login->scripts["OldLogin"] = Answer(platform::Variant(inner));
  return login;
}

}  // namespace q9::testing
