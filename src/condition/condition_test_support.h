// Test doubles for the condition tests: a late-bound account object and a builder of condition
// documents. Header-only; included by the *_test.cpp files of this directory only.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/date.h"
#include "platform/dispatch.h"
#include "platform/dispatch_test_doubles.h"
#include "platform/error.h"
#include "platform/error_test_support.h"
#include "platform/variant.h"
#include "platform/xml/document.h"

namespace q9::condition::testing {

using q9::testing::ErrorOf;

inline platform::Date D(int y, int m, int d) { return *platform::Date::Make(y, m, d); }

// An account whose STStartDate is `stock_start` and whose Period(m).BeginDate is
// `begin_of_period(m)`. Period with a month outside 1..12 raises subscript out of range (9); the
// member named `failing` ("STStartDate", "Period" or "BeginDate") raises `error`.
inline platform::Variant MakeAccount(platform::Variant stock_start,
                                     std::function<platform::Variant(int)> begin_of_period,
                                     const std::string& failing = "",
                                     const platform::ComError& error = {0, "", ""}) {
  using q9::testing::ScriptedObject;
  auto raise_if = [failing, error](const char* member) {
    if (platform::SameMemberName(failing, member)) throw error;
  };
  auto account = std::make_shared<ScriptedObject>();
  account->scripts["STStartDate"] = [=](platform::Args&) {
    raise_if("STStartDate");
    return stock_start;
  };
  account->scripts["Period"] = [=](platform::Args& args) {
    raise_if("Period");
    int month = args.Get(0).ToI4();
    if (month < 1 || month > 12) throw platform::SubscriptOutOfRange("Period");
    auto period = std::make_shared<ScriptedObject>();
    period->scripts["BeginDate"] = [=, begin = begin_of_period(month)](platform::Args&) {
      raise_if("BeginDate");
      return begin;
    };
    return platform::Variant(period);
  };
  return platform::Variant(account);
}

// The account most tests use: stock module started on 2024-03-15; the accounting periods begin on
// the 26th of the month before (period 3 begins 2024-02-26), so the stock start text differs from
// both the start date and the first of its month.
inline platform::Variant StandardAccount() {
  return MakeAccount(platform::Variant(D(2024, 3, 15)), [](int m) {
    return platform::Variant(m == 1 ? D(2023, 12, 26) : D(2024, m - 1, 26));
  });
}

// A condition document as a list of elements under one root, each with its attributes in order
// (values are written as they are: one that needs escaping makes Load fail loudly).
// The default has every element either ledger reads, every value empty, isverdate "false" and no
// free item checked.
class ConditionXml {
 public:
  ConditionXml() {
    Add("ddate", {{"isverdate", "false"}, {"value1", ""}, {"value2", ""}});
    Add("warehouse", {{"value1", ""}});
    Add("invclass", {{"value1", ""}, {"value2", ""}});
    Add("inventory", {{"value1", ""}, {"value2", ""}});
    Add("invstd", {{"value1", ""}});
    Add("assunit", {{"value1", "1"}});
    Add("standard", {{"value1", ""}});
    Add("batch", {{"value1", ""}, {"value2", ""}});
    Add("includeaudit", {{"value", "1"}});
    Add("position", {{"value1", ""}, {"value2", ""}});
    for (int i = 1; i <= 10; ++i) {
      Add("free" + std::to_string(i), {{"check", "0"}, {"value1", ""}, {"value2", ""}});
    }
    for (int i = 1; i <= 16; ++i) {
      Add("invdefine" + std::to_string(i), {{"value1", ""}, {"value2", ""}});
    }
  }

  // The default document with each {element, attribute, value} set.
  struct Setting {
    std::string element, attribute, value;
  };
  static ConditionXml With(std::initializer_list<Setting> settings) {
    ConditionXml xml;
    for (const Setting& s : settings) xml.Set(s.element, s.attribute, s.value);
    return xml;
  }

  // Sets (or adds) one attribute of an existing element.
  ConditionXml& Set(const std::string& element, const std::string& attribute, std::string value) {
    for (auto& [name, value_of] : Find(element).attributes) {
      if (name == attribute) {
        value_of = std::move(value);
        return *this;
      }
    }
    Find(element).attributes.emplace_back(attribute, std::move(value));
    return *this;
  }
  ConditionXml& Remove(const std::string& element) {
    std::erase_if(elements_, [&](const Element& e) { return e.name == element; });
    return *this;
  }
  ConditionXml& RemoveAttribute(const std::string& element, const std::string& attribute) {
    std::erase_if(Find(element).attributes, [&](const auto& a) { return a.first == attribute; });
    return *this;
  }

  // Each element's name and the names of its attributes, in order.
  std::vector<std::pair<std::string, std::vector<std::string>>> Names() const {
    std::vector<std::pair<std::string, std::vector<std::string>>> names;
    for (const Element& e : elements_) {
      names.push_back({e.name, {}});
      for (const auto& a : e.attributes) names.back().second.push_back(a.first);
    }
    return names;
  }

  // Every element under one root, in order.
  std::string ToXml() const {
    std::string xml = "<condition>";
    for (const Element& e : elements_) xml += ElementXml(e);
    return xml + "</condition>";
  }

  std::unique_ptr<platform::xml::Document> Load() const {
    auto doc = std::make_unique<platform::xml::Document>();
    if (!doc->LoadXml(ToXml())) throw std::runtime_error("test document: " + doc->ParseError());
    return doc;
  }

 private:
  struct Element {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
  };

  void Add(std::string name, std::vector<std::pair<std::string, std::string>> attributes) {
    elements_.push_back({std::move(name), std::move(attributes)});
  }
  Element& Find(const std::string& element) {
    for (Element& e : elements_) {
      if (e.name == element) return e;
    }
    throw std::runtime_error("test document has no element " + element);
  }
  static std::string ElementXml(const Element& e) {
    std::string xml = "<" + e.name;
    for (const auto& [name, value] : e.attributes) {
      xml += " " + name + "=\"" + value + "\"";
    }
    return xml + "/>";
  }
  std::vector<Element> elements_;
};

}  // namespace q9::condition::testing
