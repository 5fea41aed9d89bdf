#include "shell/HelpTexts.h"

#include <QStringList>

namespace vk {

namespace {

struct HelpEntry {
  int id;
  const char* heading;
  const char* body;  // HTML paragraphs and lists
};

// Paragraphs open with a tab's worth of indent, as the texts always had.
const HelpEntry kEntries[] = {
    {kHelpVelkorNow, "Velkor Crypto Now",
     "<p class='t'>This view summarises the program and how it has been used.</p>"
     "<p><b>Program Information</b></p><ul>"
     "<li><b>Version:</b> the version of Velkor Crypto that is running.</li>"
     "<li><b>Copyright:</b> the legal notice of the program.</li></ul>"
     "<p><b>General Statistics</b></p><ul>"
     "<li><b>Stored Passwords:</b> the number of logins kept in the password vault.</li>"
     "<li><b>Files Encrypted:</b> the number of files encrypted since installation.</li>"
     "<li><b>Messages Encrypted:</b> the number of messages encrypted since installation.</li></ul>"},
    {kHelpSupport, "Support/Suggestions",
     "<p class='t'>Support requests and suggestions are sent straight to our web server as a web form; "
     "no e-mail program is needed. If a firewall asks whether Velkor Crypto may reach the Internet, allow it "
     "for the request to be sent.</p>"
     "<p class='t'>Your e-mail address is only used to answer you and is never passed on.</p>"
     "<p><b>Support request</b></p><ul>"
     "<li><b>Title:</b> a short summary, up to 100 characters.</li>"
     "<li><b>E-mail address:</b> where we answer you, up to 100 characters.</li>"
     "<li><b>Severity:</b> how bad the bug is, from 1 (Minor) to 10 (Critical).</li>"
     "<li><b>Criticality:</b> how important it is to get the bug fixed, from 1 (Annoying) to 10 (Cannot Use)."
     "</li>"
     "<li><b>Comments:</b> what happened and what you expected, up to 1000 characters.</li></ul>"
     "<p><b>Suggestion</b></p><ul>"
     "<li><b>Title</b> and <b>E-mail address:</b> up to 100 characters each.</li>"
     "<li><b>Type:</b> one of the four suggestion types offered.</li>"
     "<li><b>Comments:</b> your suggestion, up to 1000 characters.</li></ul>"},
    {kHelpCreateKeyPair, "Create Key Pair",
     "<p class='t'>Creates an RSA-OAEP key pair, shown as hexadecimal text of its ASN.1/DER (PKCS #1) "
     "encoding.</p>"
     "<p class='t'>The public key may be given to anyone: what is encrypted with it can only be decrypted with "
     "the private key. Keep the private key to yourself.</p><ul>"
     "<li><b>Key size:</b> the strength of the pair in bits; larger keys take longer to create.</li>"
     "<li><b>Public Key:</b> the key to hand out.</li>"
     "<li><b>Private Key:</b> the key to keep secret.</li></ul>"},
    {kHelpPasswords, "Passwords",
     "<p class='t'>The vault keeps the logins of your programs and websites in the file passwords.rss, "
     "every field encrypted on its own.</p>"
     "<p class='t'>Anyone who can start Velkor Crypto can open this view: set a program password in the "
     "Options to guard it.</p>"
     "<p><b>The grid</b></p><ul>"
     "<li><b>Program/Website:</b> what the login is for.</li>"
     "<li><b>User ID:</b> the name you log in with.</li>"
     "<li><b>Password:</b> the password of that login.</li>"
     "<li><b>Notes:</b> anything else worth keeping with it.</li></ul>"
     "<p><b>Buttons</b></p><ul>"
     "<li><b>Add:</b> enter a new login.</li>"
     "<li><b>Edit:</b> change the selected login.</li>"
     "<li><b>Delete:</b> remove the selected login.</li></ul>"
     "<p><b>Password Maintenance</b></p><ul>"
     "<li><b>Program or Website</b>, <b>User ID</b> and <b>Password:</b> up to 100 characters each; "
     "all three are needed.</li>"
     "<li><b>Notes:</b> up to 255 characters, may stay empty.</li></ul>"},
    {kHelpOptions, "Options",
     "<p class='t'>The options are kept, encrypted, in the file settings.dat beside the program and are "
     "saved when Velkor Crypto closes.</p>"
     "<p class='t'><b>Warning:</b> a lost program password cannot be re-created.</p>"
     "<p><b>File History</b></p><ul>"
     "<li><b>Maintain File History:</b> keep the list of encrypted files; turning it off clears the list.</li>"
     "<li><b>Clear History:</b> empties the list of encrypted files.</li></ul>"
     "<p><b>Program Access</b></p><ul>"
     "<li><b>Use Program Password:</b> ask for the program password when Velkor Crypto starts.</li>"
     "<li><b>Set Password:</b> opens the dialog where the current password (when one is set) and the new "
     "one, twice, are entered.</li></ul>"
     "<p><b>Miscellaneous Options</b></p><ul>"
     "<li><b>Enable Velkor News Feed</b> and <b>Enable Automatic Program Updates Checking</b>.</li></ul>"},
    {kHelpFileEncryption, "File Encryption/Decryption",
     "<p class='t'>A file is decrypted with the same options and password it was encrypted with.</p>"
     "<p><b>Encrypting</b></p><ul>"
     "<li><b>Source file:</b> the file to encrypt.</li>"
     "<li><b>Destination file:</b> the encrypted file; its default extension is .vkf.</li>"
     "<li><b>Options:</b> algorithm, password strength, hashing algorithm and hash size.</li>"
     "<li><b>Password</b> and <b>Re-Enter Password:</b> must match.</li></ul>"
     "<p><b>Decrypting</b></p><ul>"
     "<li><b>Source file:</b> the encrypted file.</li>"
     "<li><b>Destination file:</b> where the decrypted file is written.</li>"
     "<li><b>Options</b> and <b>Password:</b> those the file was encrypted with.</li></ul>"},
    {kHelpMessageEncryption, "Message Encryption/Decryption",
     "<p class='t'>A message is decrypted with the same options and password it was encrypted with; the "
     "encrypted message is hexadecimal text that can be pasted into an e-mail.</p>"
     "<p><b>Encrypting</b></p><ul>"
     "<li><b>Message:</b> the text to encrypt.</li>"
     "<li><b>Options:</b> algorithm, password strength, hashing algorithm and hash size, or a public key.</li>"
     "<li><b>Password</b> and <b>Re-Enter Password:</b> must match.</li></ul>"
     "<p><b>Decrypting</b></p><ul>"
     "<li><b>Encrypted message:</b> the hexadecimal text received.</li>"
     "<li><b>Options</b> and <b>Password:</b> those it was encrypted with, or the private key.</li></ul>"},
    {kHelpRecentFiles, "Recent Files",
     "<p class='t'>The files Velkor Crypto has encrypted are recorded here while the file history option is "
     "on, newest first.</p><ul>"
     "<li>Double-clicking a row opens the file for decryption with its name filled in.</li>"
     "<li>A row whose file can no longer be found is shown in <i>italics</i>.</li></ul>"},
};

const HelpEntry* Find(int id) {
  for (const HelpEntry& entry : kEntries)
    if (entry.id == id) return &entry;
  return nullptr;
}

}  // namespace

QString HelpHeading(int id) {
  const HelpEntry* entry = Find(id);
  return entry ? QString::fromUtf8(entry->heading) : QString();
}

QString HelpText(int id) {
  const HelpEntry* entry = Find(id);
  if (!entry) return {};
  return QStringLiteral(
             "<html><head><style>"
             "body { font-family: 'Tahoma'; font-size: 8pt; color: #000000; }"
             "p.t { text-indent: 24px; }"
             "</style></head><body>"
             "<p style='font-size: 10pt; font-weight: bold; text-decoration: underline; color: #808000;'>%1</p>"
             "%2</body></html>")
      .arg(QString::fromUtf8(entry->heading), QString::fromUtf8(entry->body));
}

}  // namespace vk
