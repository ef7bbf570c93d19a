#include "condition/document_values.h"

#include "condition/condition_errors.h"

namespace q9::condition {

platform::xml::Node RequireElement(const platform::xml::Document& doc, std::string_view element) {
  platform::xml::Node node = doc.SelectSingleNode("//" + std::string(element));
  if (node.IsNull()) throw MissingElement(element);
  return node;
}

std::string RequireAttribute(const platform::xml::Node& element, std::string_view attribute) {
  platform::xml::Attribute attr = element.GetNamedItem(attribute);
  if (attr.IsNull()) throw MissingAttribute(element.Name(), attribute);
  return attr.Text();
}

std::string ReadAttribute(const platform::xml::Document& doc, std::string_view element,
                          std::string_view attribute) {
  return RequireAttribute(RequireElement(doc, element), attribute);
}

}  // namespace q9::condition
