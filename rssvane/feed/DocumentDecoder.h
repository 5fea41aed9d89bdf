#pragma once

#include <string>
#include <string_view>

#include "base/GrowString.h"

namespace rssvane {

// Converts a document from the encoding it is written in into the
// component's code page before the XML reader sees it (the DecodeDocument
// setting), so that a feed in ISO-8859-1, windows-1252 or UTF-16 reads as the
// text it holds rather than as bytes of another encoding. The reader itself
// stays byte-oriented: it only ever sees text in the code page.
//
// The encoding is, in this order: the byte order mark's; for a document that
// begins with UTF-16 or UTF-32 characters without one, that form's; the XML
// declaration's; charset (the Content-Type parameter of a fetched document);
// UTF-8. ISO-8859-1 is read as windows-1252, whose characters in 0x80 to 0x9F
// are what feeds that declare ISO-8859-1 mean by those bytes.
//
// The result has no byte order mark and a declaration that names the code
// page. A character the code page lacks becomes a character reference: where
// XML reads one (text, attribute values) it is that character to any reader,
// and in a CDATA section the section is closed around it. In comments,
// processing instructions and the document type, which the model does not
// keep, it stands as the same characters. In a name no reference can stand,
// and decoding fails. docs/feed-reading.md has the whole of it.
class DocumentDecoder {
 public:
  // 0, kErrDocumentEncoding (an encoding unknown or not the one the document
  // is written in, bytes invalid in it, a name the code page cannot hold) or
  // kErrCodePage (a code page that cannot hold markup), with Message(). The
  // document ends at its first NUL character, as text read without decoding
  // ends at its first zero byte.
  int Decode(std::string_view bytes, std::string_view charset, int codePage) noexcept;

  // The decoded document: a view of the bytes given to Decode when they
  // needed no change, else of the decoder's own copy.
  std::string_view Text() const noexcept { return text_; }
  // Whether the decoded document is the decoder's own copy, which TakeText
  // hands over (after which Text is empty), so that a reader that keeps
  // the document need not copy it again.
  bool OwnsText() const noexcept { return ownsText_; }
  GrowString TakeText() noexcept;
  const std::string& Message() const noexcept { return message_; }

 private:
  int Fail(int code, std::string message) noexcept;

  GrowString utf8_;
  // The decoded document when the decoder made it (ownsText_).
  GrowString out_;
  bool ownsText_ = false;
  std::string_view text_;
  std::string message_;
};

}  // namespace rssvane
