#include "xml/XmlErrors.h"

namespace rssvane {

std::string_view XmlErrorText(int code) noexcept {
  switch (code) {
    case kErrXmlInvalidAttributeIndex: return "Invalid attribute index.";
    case kErrXmlNoAttributes: return "No attributes available.";
    case kErrXmlInvalidNamespaceIndex: return "Invalid namespace index.";
    case kErrXmlNoNamespaces: return "No namespaces available.";
    case kErrXmlNoSuchAttribute: return "Attribute does not exist.";
    case kErrXmlOutOfMemory: return "Out of memory.";
    case kErrXmlUnbalanced: return "Unbalanced element tag.";
    case kErrXmlElementPrefix: return "Unknown element prefix (can't find namespace).";
    case kErrXmlAttributePrefix: return "Unknown attribute prefix (can't find namespace).";
    case kErrXmlInvalidMarkup: return "Invalid XML markup.";
    case kErrXmlEndState: return "Invalid end state for parser.";
    case kErrXmlUnclosedElements: return "Document contains unbalanced elements.";
    case kErrXmlInvalidPath: return "Invalid XPath.";
    case kErrXmlNoSuchChild: return "No such child.";
    case kErrXmlTopMismatch: return "Top element does not match start of path.";
    case kErrXmlNoTree: return "DOM tree unavailable (set BuildDOM to true and reparse).";
    default: return "xrdrimpl: unknown error";
  }
}

}  // namespace rssvane
