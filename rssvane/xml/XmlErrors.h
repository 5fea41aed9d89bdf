#pragma once

#include <string_view>

namespace rssvane {

// Codes of the XML reader, its document tree and its paths. Each has one
// message, the text a host sees when reading a document fails.
enum : int {
  kErrXmlInvalidAttributeIndex = 101,
  kErrXmlNoAttributes = 102,
  kErrXmlInvalidNamespaceIndex = 103,
  kErrXmlNoNamespaces = 104,
  kErrXmlNoSuchAttribute = 107,
  kErrXmlOutOfMemory = 200,
  kErrXmlUnbalanced = 201,
  kErrXmlElementPrefix = 202,
  kErrXmlAttributePrefix = 203,
  kErrXmlInvalidMarkup = 204,
  kErrXmlEndState = 205,
  kErrXmlUnclosedElements = 206,
  kErrXmlInvalidPath = 207,
  kErrXmlNoSuchChild = 208,
  kErrXmlTopMismatch = 209,
  kErrXmlNoTree = 210,
};

// The message for an XML code; "xrdrimpl: unknown error" for any other.
std::string_view XmlErrorText(int code) noexcept;

}  // namespace rssvane
