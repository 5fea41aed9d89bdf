#pragma once

// What the history and the vault do alike with their RSS document and their
// engine: prepare the document, encrypt a field to upper-case hexadecimal
// text and back, write the file so that the old one stays whole until the
// new one is complete, and look a file up by its exact name.

#include <string>

#include <QString>

namespace rssvane {
class RSS;
}

namespace vk {

class StoreCipher;

// Reset, then "AllowNonRSS=true", before every read and every rebuild.
void PrepareFeed(rssvane::RSS& rss);

// The field's text (UTF-8 bytes), encrypted as the whole data, as hex.
std::u16string EncryptField(StoreCipher& cipher, const QString& value);
// The reverse; throws when the text does not decrypt.
QString DecryptField(StoreCipher& cipher, const std::u16string& stored);

// Writes the document to a temporary file beside `path` and renames it over
// `path`; throws std::runtime_error when that fails.
void WriteFeedReplacing(rssvane::RSS& rss, const QString& path);

// True when the folder holds a file of exactly that name.
bool StoreFileExists(const QString& folder, const QString& name);

// Moves an unreadable store aside and says so in a sentence for the user.
QString KeepUnreadableStore(const QString& path, const QString& what);

}  // namespace vk
