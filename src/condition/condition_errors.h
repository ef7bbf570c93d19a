// The errors the condition reading raises of its own. Each is a ComError with source
// "Q9STRepSrv" and a Chinese description that names what is wrong, like the product's other
// messages.
#pragma once

#include <string_view>

#include "platform/error.h"

namespace q9::condition {

// Object not set (91): "条件文档缺少元素 <ddate>".
platform::ComError MissingElement(std::string_view element);

// Object not set (91): "条件文档的元素 <ddate> 缺少属性 value2".
platform::ComError MissingAttribute(std::string_view element, std::string_view attribute);

// Type mismatch (13): "条件文档的元素 <assunit> 的属性 value1 的值 'x' 不是整数".
platform::ComError NotAWholeNumber(std::string_view element, std::string_view attribute,
                                   std::string_view value);

// Type mismatch (13): "字段 cInvDefine15 的条件值 'x' 不是日期".
platform::ComError NotADate(std::string_view field, std::string_view value);

// Type mismatch (13): "字段 cInvDefine11 的条件值 'x' 不是数字".
platform::ComError NotANumber(std::string_view field, std::string_view value);

}  // namespace q9::condition
