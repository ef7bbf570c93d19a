#include "platform/xml/document.h"

#include <pugixml.hpp>

#include "platform/error.h"

namespace q9::platform::xml {
namespace {

pugi::xml_node AsNode(const void* impl) {
  return pugi::xml_node(static_cast<pugi::xml_node_struct*>(const_cast<void*>(impl)));
}

pugi::xml_attribute AsAttribute(const void* impl) {
  return pugi::xml_attribute(
      static_cast<pugi::xml_attribute_struct*>(const_cast<void*>(impl)));
}

void AppendText(const pugi::xml_node& node, std::string& out) {
  for (pugi::xml_node child : node.children()) {
    switch (child.type()) {
      case pugi::node_pcdata:
      case pugi::node_cdata: out += child.value(); break;
      case pugi::node_element: AppendText(child, out); break;
      default: break;
    }
  }
}

}  // namespace

std::string Attribute::Name() const { return impl_ ? AsAttribute(impl_).name() : ""; }
std::string Attribute::Text() const { return impl_ ? AsAttribute(impl_).value() : ""; }

std::string Node::Name() const { return impl_ ? AsNode(impl_).name() : ""; }

Attribute Node::GetNamedItem(std::string_view name) const {
  if (!impl_) return {};
  for (pugi::xml_attribute a : AsNode(impl_).attributes()) {
    if (name == a.name()) return Attribute(a.internal_object());
  }
  return {};
}

std::string Node::Text() const {
  if (!impl_) return "";
  pugi::xml_node node = AsNode(impl_);
  if (node.type() != pugi::node_element && node.type() != pugi::node_document) {
    return node.value();
  }
  std::string out;
  AppendText(node, out);
  return out;
}

size_t Node::ChildNodeCount() const {
  if (!impl_) return 0;
  size_t n = 0;
  for (pugi::xml_node child : AsNode(impl_).children()) {
    (void)child;
    ++n;
  }
  return n;
}

Document::Document() : doc_(std::make_unique<pugi::xml_document>()) {}
Document::~Document() = default;

bool Document::LoadXml(std::string_view text) {
  doc_->reset();
  parse_error_.clear();
  // Comments and processing instructions are nodes like any other; whitespace-only text is not.
  unsigned options = pugi::parse_default | pugi::parse_comments | pugi::parse_pi;
  pugi::xml_parse_result result = doc_->load_buffer(text.data(), text.size(), options,
                                                    pugi::encoding_utf8);
  std::string problem;
  if (!result) {
    problem = std::string(result.description()) + " at offset " + std::to_string(result.offset);
  } else {
    // pugixml accepts fragments; a document has exactly one element at its top and no text.
    int elements = 0;
    for (pugi::xml_node top : doc_->children()) {
      if (top.type() == pugi::node_element) ++elements;
      if (top.type() == pugi::node_pcdata || top.type() == pugi::node_cdata) {
        problem = "text outside the document element";
      }
    }
    if (elements != 1 && problem.empty()) {
      problem = elements == 0 ? "the document has no document element"
                              : "the document has more than one document element";
    }
  }
  if (!problem.empty()) {
    parse_error_ = problem;
    doc_->reset();
    return false;
  }
  return true;
}

Node Document::DocumentElement() const {
  pugi::xml_node root = doc_->document_element();
  return root ? Node(root.internal_object()) : Node();
}

Node Document::SelectSingleNode(std::string_view path) const {
  if (path.size() < 3 || path.substr(0, 2) != "//" ||
      path.substr(2).find_first_of("/[]@*()| ") != std::string_view::npos) {
    throw InvalidCall("unsupported XML path '" + std::string(path) + "'");
  }
  std::string_view name = path.substr(2);
  pugi::xml_node found = doc_->find_node([name](pugi::xml_node n) {
    return n.type() == pugi::node_element && name == n.name();
  });
  return found ? Node(found.internal_object()) : Node();
}

}  // namespace q9::platform::xml
