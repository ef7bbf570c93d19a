// Both condition readers on arbitrary documents: each reading either fills the condition state
// or raises the component's error; it never crashes, leaks or reads out of bounds.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "condition/condition_state.h"
#include "condition/readers.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/xml/document.h"

namespace {

using q9::platform::Args;
using q9::platform::Variant;

class Period : public q9::platform::Object {
 public:
  Variant Invoke(std::string_view name, q9::platform::InvokeKind, Args&) override {
    if (q9::platform::SameMemberName(name, "BeginDate")) {
      return Variant(*q9::platform::Date::Make(2026, 1, 1));
    }
    throw q9::platform::MemberNotFound(std::string(name));
  }
  std::string ClassName() const override { return "Period"; }
};

class Account : public q9::platform::Object {
 public:
  Variant Invoke(std::string_view name, q9::platform::InvokeKind, Args&) override {
    if (q9::platform::SameMemberName(name, "STStartDate")) {
      return Variant(*q9::platform::Date::Make(2025, 1, 1));
    }
    if (q9::platform::SameMemberName(name, "Period")) return Variant(std::make_shared<Period>());
    throw q9::platform::MemberNotFound(std::string(name));
  }
  std::string ClassName() const override { return "Account"; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Variant account(std::make_shared<Account>());
  std::string_view text(reinterpret_cast<const char*>(data), size);
  q9::platform::xml::Document doc;
  doc.LoadXml(text);
  q9::condition::ConditionState state;
  try {
    q9::condition::ReadStockCondition(doc, account, state);
  } catch (const q9::platform::ComError&) {
  }
  try {
    q9::condition::ReadPositionCondition(doc, account, state);
  } catch (const q9::platform::ComError&) {
  }
  return 0;
}
