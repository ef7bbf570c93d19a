#include "condition/condition_errors.h"

#include <string>

namespace q9::condition {
namespace {

constexpr const char* kSource = "Q9STRepSrv";

std::string Str(std::string_view s) { return std::string(s); }

}  // namespace

platform::ComError MissingElement(std::string_view element) {
  return {platform::kErrObjectNotSet, kSource, "条件文档缺少元素 <" + Str(element) + ">"};
}

platform::ComError MissingAttribute(std::string_view element, std::string_view attribute) {
  return {platform::kErrObjectNotSet, kSource,
          "条件文档的元素 <" + Str(element) + "> 缺少属性 " + Str(attribute)};
}

platform::ComError NotAWholeNumber(std::string_view element, std::string_view attribute,
                                   std::string_view value) {
  return {platform::kErrTypeMismatch, kSource,
          "条件文档的元素 <" + Str(element) + "> 的属性 " + Str(attribute) + " 的值 '" +
              Str(value) + "' 不是整数"};
}

platform::ComError NotADate(std::string_view field, std::string_view value) {
  return {platform::kErrTypeMismatch, kSource,
          "字段 " + Str(field) + " 的条件值 '" + Str(value) + "' 不是日期"};
}

platform::ComError NotANumber(std::string_view field, std::string_view value) {
  return {platform::kErrTypeMismatch, kSource,
          "字段 " + Str(field) + " 的条件值 '" + Str(value) + "' 不是数字"};
}

}  // namespace q9::condition
