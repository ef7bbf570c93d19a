// Reading values out of the condition document. An element is the first of its name anywhere in
// the document; a value is the text of one of its attributes. Both must be present: a reader that
// needs one that is missing stops with "object not set" (91) naming it.
#pragma once

#include <string>
#include <string_view>

#include "platform/xml/document.h"

namespace q9::condition {

// The first element named `element` anywhere in `doc`. Raises MissingElement (91) when there is
// none.
platform::xml::Node RequireElement(const platform::xml::Document& doc, std::string_view element);

// The text of attribute `attribute` of `element` (a non-null element node). Raises
// MissingAttribute (91) naming the element and the attribute when it is absent.
std::string RequireAttribute(const platform::xml::Node& element, std::string_view attribute);

// RequireElement followed by RequireAttribute.
std::string ReadAttribute(const platform::xml::Document& doc, std::string_view element,
                          std::string_view attribute);

}  // namespace q9::condition
