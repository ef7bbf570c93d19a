// The XML document the readers use: the small part of a DOM they need, over pugixml.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace pugi {
class xml_document;
class xml_node;
class xml_attribute;
}  // namespace pugi

namespace q9::platform::xml {

class Document;

// An attribute node; null when absent. Never crashes when null: Text() of a null attribute is "".
class Attribute {
 public:
  Attribute() = default;
  bool IsNull() const { return impl_ == nullptr; }
  std::string Name() const;
  std::string Text() const;

 private:
  friend class Node;
  explicit Attribute(const void* impl) : impl_(impl) {}
  const void* impl_ = nullptr;
};

// An element (or other) node; null when absent. Every accessor is safe on a null node.
class Node {
 public:
  Node() = default;
  bool IsNull() const { return impl_ == nullptr; }
  std::string Name() const;
  // The attribute of that exact name (case-sensitive), null when absent.
  Attribute GetNamedItem(std::string_view name) const;
  // The text of the node and its descendants, as the DOM's `text` gives it.
  std::string Text() const;
  // The number of child nodes of every kind: elements, text, comments, processing instructions.
  size_t ChildNodeCount() const;

 private:
  friend class Document;
  explicit Node(const void* impl) : impl_(impl) {}
  const void* impl_ = nullptr;
};

class Document {
 public:
  Document();
  ~Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Parses `text`. On a parse error the document is left empty (no document element) and the
  // result is false; ParseError() then says what and where.
  bool LoadXml(std::string_view text);
  const std::string& ParseError() const { return parse_error_; }

  // Null when the document is empty.
  Node DocumentElement() const;
  // Supports the path form "//name": the first element of that name anywhere in the document,
  // in document order; null when there is none. Any other path raises error 5.
  Node SelectSingleNode(std::string_view path) const;

 private:
  std::unique_ptr<pugi::xml_document> doc_;
  std::string parse_error_;
};

}  // namespace q9::platform::xml
