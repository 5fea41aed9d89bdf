#pragma once

#include <string_view>

#include "base/GrowString.h"

namespace rssvane {

// What the XML reader tells its client while it reads. Every handler may
// return a non-zero code, which ends the document with that code. The views
// are valid only during the call.
class XmlClient {
 public:
  virtual ~XmlClient() = default;

  // Asked once when the client is set: a client that watches every byte
  // costs the reader its bulk scanning, so only those that ask get RawByte.
  virtual bool WantsRawBytes() const { return false; }
  virtual int RawByte(char) { return 0; }
  // Asked once when the client is set too: a client that takes each
  // element's text whole at its end (the reader's ElementText, in tree mode)
  // may decline the pieces, and the reader then spares itself Characters,
  // IgnorableWhiteSpace and Entity.
  virtual bool WantsTextPieces() const { return true; }

  virtual int Characters(std::string_view) { return 0; }
  virtual int IgnorableWhiteSpace(std::string_view) { return 0; }
  // The element's attributes can be read from the reader during this call.
  virtual int StartElement(std::string_view /*uri*/, std::string_view /*localName*/,
                           std::string_view /*qualifiedName*/, bool /*emptyElement*/) {
    return 0;
  }
  virtual int EndElement(std::string_view /*uri*/, std::string_view /*localName*/,
                         std::string_view /*qualifiedName*/, bool /*emptyElement*/) {
    return 0;
  }
  virtual int StartPrefixMapping(std::string_view /*prefix*/, std::string_view /*uri*/) { return 0; }
  virtual int EndPrefixMapping(std::string_view /*prefix*/) { return 0; }
  virtual int Comment(std::string_view) { return 0; }
  virtual int ProcessingInstruction(std::string_view) { return 0; }
  virtual int Declaration(std::string_view) { return 0; }
  virtual int MarkedSection(std::string_view /*keyword*/, std::string_view /*content*/) { return 0; }
  // result holds what the reference resolved to; the handler may replace it.
  virtual int Entity(std::string_view /*name*/, GrowString& /*result*/) { return 0; }
  virtual int Warning(int /*code*/, std::string_view /*message*/) { return 0; }
};

}  // namespace rssvane
