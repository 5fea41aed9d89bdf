// vkcrypt: the encryption engine on the command line, for scripts and for
// the people who want it without a window.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Terminal.h"
#include "common/Hex.h"
#include "cryptoengine/CryptoEngine.h"
#include "cryptoengine/ProcessSafety.h"
#include "vk/Version.h"

namespace vkcrypt {
namespace {

using vkcrypto::Bytes;
using vkcrypto::CryptoEngine;
using vkcrypto::HashingMethod;
using vkcrypto::Method;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char kCipherOptions[] =
    "  --algorithm rijndael|twofish   the cipher (default rijndael)\n"
    "  --strength 128|192|256         the key size in bits (default 128)\n"
    "  --hash sha2|haval              the hash the key is derived with (default sha2)\n"
    "  --hash-size N                  sha2: 160 (SHA-1), 256, 384, 512 (default 160);\n"
    "                                 haval: 128, 160, 192, 224, 256 (default 128)\n";
const char kPasswordOption[] =
    "  --password-file FILE           the password is the first line of FILE (\"-\": of standard\n"
    "                                 input), taken byte for byte (write it in UTF-8); without it\n"
    "                                 the password is asked for on the terminal\n";

struct CommandHelp {
  const char* synopsis;
  std::string text;
};

const std::map<std::string, CommandHelp>& Help() {
  static const std::map<std::string, CommandHelp> help = {
      {"encrypt",
       {"encrypt [OPTIONS] SOURCE DESTINATION",
        std::string("Encrypts the file SOURCE into DESTINATION (which may be SOURCE itself; it is\n"
                    "replaced only when the whole file is done). The password is asked for twice.\n\n"
                    "Options:\n") +
            kCipherOptions + kPasswordOption}},
      {"decrypt",
       {"decrypt [--password-file FILE] SOURCE DESTINATION",
        std::string("Decrypts the file SOURCE into DESTINATION. The cipher, key size and hash come\n"
                    "from the file; only the password is needed. A wrong password or a damaged file\n"
                    "leaves DESTINATION untouched.\n\n"
                    "Options:\n") +
            kPasswordOption}},
      {"encrypt-text",
       {"encrypt-text [OPTIONS] | encrypt-text --public-key-file FILE",
        std::string("Encrypts the message on standard input and prints it as upper-case hexadecimal\n"
                    "text. With --password-file - the first line of standard input is the password\n"
                    "and the rest is the message.\n\n"
                    "Options:\n") +
            kCipherOptions + kPasswordOption +
            "  --public-key-file FILE         encrypt with RSA for the holder of the private key;\n"
            "                                 FILE holds the public key as hexadecimal text. Keys of\n"
            "                                 fewer than 1024 bits are refused, and a warning is\n"
            "                                 written for keys of fewer than 2048 bits\n"}},
      {"decrypt-text",
       {"decrypt-text [--password-file FILE] | decrypt-text --private-key-file FILE",
        std::string("Decrypts the hexadecimal text on standard input and writes the message.\n\n"
                    "Options:\n") +
            kPasswordOption +
            "  --private-key-file FILE        decrypt an RSA message; FILE holds the private key\n"
            "                                 as hexadecimal text\n"}},
      {"keypair",
       {"keypair --bits N [--out FILE]",
        "Creates a random RSA key pair (public exponent 65537) and prints two lines,\n"
        "\"public: HEX\" and \"private: HEX\", the keys as PKCS #1 DER bytes in hexadecimal.\n\n"
        "Options:\n"
        "  --bits N      128, 256, 512, 1024, 2048, 3072, 4096, 5120, 6144 or 7128\n"
        "                (keys below 1024 bits cannot encrypt; 2048 or more is advised)\n"
        "  --out FILE    print nothing: write the private key's hexadecimal text to FILE,\n"
        "                readable by its owner only (mode 0600), and the public key's to\n"
        "                FILE.pub; neither may exist already. Prefer this to redirecting\n"
        "                the output, which gives the private key the umask's mode\n"}},
      {"store-decrypt",
       {"store-decrypt FILE",
        "Prints the clear text of a file written with the store key, such as settings.dat.\n\n"
        "The store key is fixed by design: the program keys settings.dat, the vault and the\n"
        "history with its own file description (Rijndael 256, SHA-2 512), so these files\n"
        "protect nothing from anyone who has this program.\n"}},
      {"store-field",
       {"store-field HEX...",
        "Prints the clear text of each stored hexadecimal field (of passwords.rss or\n"
        "recent_files.rss), one a line.\n\n"
        "The store key is fixed by design: the program keys settings.dat, the vault and the\n"
        "history with its own file description (Rijndael 256, SHA-2 512), so these files\n"
        "protect nothing from anyone who has this program.\n"}},
  };
  return help;
}

const char* const kOrder[] = {"encrypt", "decrypt", "encrypt-text", "decrypt-text", "keypair", "store-decrypt",
                              "store-field"};

std::string MainUsage() {
  std::string text =
      "Usage: vkcrypt COMMAND [OPTIONS] [ARGUMENTS]\n\n"
      "Encrypts and decrypts files and messages with a password or an RSA key.\n\n"
      "Commands:\n";
  for (const char* name : kOrder) text += std::string("  ") + Help().at(name).synopsis + "\n";
  text +=
      "\nRun 'vkcrypt COMMAND --help' for a command's options. Passwords are never taken from\n"
      "the command line. The store key of store-decrypt and store-field is fixed by design.\n"
      "Exit status: 0 success, 1 failure, 2 wrong usage.\n";
  return text;
}

// A mistake in the command line: exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Arguments {
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;
  bool help = false;
};

Arguments Parse(const std::vector<std::string>& words, const std::vector<std::string>& allowed) {
  Arguments args;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "--help" || word == "-h") {
      args.help = true;
      continue;
    }
    if (word == "--") {
      args.positional.insert(args.positional.end(), words.begin() + long(i) + 1, words.end());
      break;
    }
    if (word.rfind("--", 0) != 0 || word.size() == 2) {
      args.positional.push_back(word);
      continue;
    }
    std::string name = word;
    std::optional<std::string> value;
    if (const size_t equals = word.find('='); equals != std::string::npos) {
      name = word.substr(0, equals);
      value = word.substr(equals + 1);
    }
    if (std::find(allowed.begin(), allowed.end(), name) == allowed.end()) {
      throw UsageError("unknown option '" + name + "'");
    }
    if (!value) {
      if (i + 1 == words.size()) throw UsageError("option '" + name + "' needs a value");
      value = words[++i];
    }
    if (args.options.count(name) != 0) throw UsageError("option '" + name + "' given twice");
    args.options[name] = *value;
  }
  return args;
}

std::optional<std::string> Option(const Arguments& args, const std::string& name) {
  const auto found = args.options.find(name);
  if (found == args.options.end()) return std::nullopt;
  return found->second;
}

int ParseNumber(const std::string& text, const std::string& option) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) {
    throw UsageError("'" + text + "' is not a number for " + option);
  }
  return std::stoi(text);
}

struct CipherChoice {
  Method method;
  int strength;
  HashingMethod hashing;
  int hashSize;
};

// Checked before the password is asked for, so that a typing mistake in
// the options costs no password entry.
CipherChoice ParseCipher(const Arguments& args) {
  const std::string algorithm = Option(args, "--algorithm").value_or("rijndael");
  Method method;
  if (algorithm == "rijndael") {
    method = Method::kRijndael;
  } else if (algorithm == "twofish") {
    method = Method::kTwofish;
  } else {
    throw UsageError("--algorithm must be rijndael or twofish");
  }
  const int strength = ParseNumber(Option(args, "--strength").value_or("128"), "--strength");
  if (strength != 128 && strength != 192 && strength != 256) throw UsageError("--strength must be 128, 192 or 256");
  const std::string hash = Option(args, "--hash").value_or("sha2");
  HashingMethod hashing;
  int hashSize;
  if (hash == "sha2") {
    hashing = HashingMethod::kSha2;
    hashSize = ParseNumber(Option(args, "--hash-size").value_or("160"), "--hash-size");
    if (hashSize != 160 && hashSize != 256 && hashSize != 384 && hashSize != 512) {
      throw UsageError("--hash-size for sha2 must be 160, 256, 384 or 512");
    }
  } else if (hash == "haval") {
    hashing = HashingMethod::kHaval;
    hashSize = ParseNumber(Option(args, "--hash-size").value_or("128"), "--hash-size");
    if (hashSize != 128 && hashSize != 160 && hashSize != 192 && hashSize != 224 && hashSize != 256) {
      throw UsageError("--hash-size for haval must be 128, 160, 192, 224 or 256");
    }
  } else {
    throw UsageError("--hash must be sha2 or haval");
  }
  return {method, strength, hashing, hashSize};
}

// In the order the views make the calls.
void SetUpCipher(CryptoEngine& engine, const CipherChoice& choice, std::string_view password) {
  engine.SetMethod(choice.method);
  engine.SetSecretKeyFromPassPhrase(password, choice.strength);
  engine.SetHashingMethod(choice.hashing);
  engine.SetHashSize(choice.hashSize);
}

Secret Password(const Arguments& args, bool encrypting) {
  const auto file = Option(args, "--password-file");
  Secret password = file ? ReadPasswordFile(*file) : AskPassword(encrypting);
  if (password.Empty()) throw Failure("the password is empty");
  return password;
}

// Bytes handed to or taken from the engine, wiped once done with: keys and
// clear text.
struct WipedBytes {
  Bytes bytes;
  ~WipedBytes() {
    if (!bytes.empty()) ::explicit_bzero(bytes.data(), bytes.size());
  }
};

// Hexadecimal text as the views show it; white space between digits is
// allowed, anything else is not.
WipedBytes StrictHex(std::string_view text, const std::string& what) {
  Secret digits(text.size());
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) throw Failure(what + " is not hexadecimal text");
    digits.Append(std::string_view(&c, 1));
  }
  if (digits.Size() % 2 != 0) throw Failure(what + " has an odd number of hexadecimal digits");
  return {vk::HexToBytes(digits.View())};
}

void WriteOut(const Bytes& bytes) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) {
    throw Failure("cannot write to standard output");
  }
}

void NeedPositional(const Arguments& args, size_t count) {
  if (args.positional.size() < count) throw UsageError("missing arguments");
  if (args.positional.size() > count) throw UsageError("unexpected argument '" + args.positional[count] + "'");
}

const std::vector<std::string> kCipherOptionNames = {"--algorithm", "--strength", "--hash", "--hash-size",
                                                      "--password-file"};

int Encrypt(const std::vector<std::string>& words) {
  const Arguments args = Parse(words, kCipherOptionNames);
  if (args.help) return -1;
  NeedPositional(args, 2);
  const CipherChoice choice = ParseCipher(args);
  CryptoEngine engine;
  SetUpCipher(engine, choice, Password(args, true).View());
  ProgressBar bar("encrypting");
  engine.EncryptFile(args.positional[0], args.positional[1], std::ref(bar));
  return kOk;
}

int Decrypt(const std::vector<std::string>& words) {
  const Arguments args = Parse(words, {"--password-file"});
  if (args.help) return -1;
  NeedPositional(args, 2);
  CryptoEngine engine;
  engine.SetSecretKeyFromPassPhrase(Password(args, false).View(), 128);
  ProgressBar bar("decrypting");
  engine.DecryptFile(args.positional[0], args.positional[1], std::ref(bar));
  return kOk;
}

int EncryptText(const std::vector<std::string>& words) {
  std::vector<std::string> allowed = kCipherOptionNames;
  allowed.push_back("--public-key-file");
  const Arguments args = Parse(words, allowed);
  if (args.help) return -1;
  NeedPositional(args, 0);
  CryptoEngine engine;
  if (const auto keyFile = Option(args, "--public-key-file")) {
    if (args.options.size() != 1) throw UsageError("--public-key-file takes no other option");
    engine.SetMethod(Method::kRsa);
    engine.SetPublicKey(StrictHex(ReadTextFile(*keyFile).View(), "the key file '" + *keyFile + "'").bytes);
  } else {
    const CipherChoice choice = ParseCipher(args);
    SetUpCipher(engine, choice, Password(args, true).View());
  }
  WipedBytes message;
  {
    const Secret text = ReadStandardInput();
    message.bytes.assign(text.View().begin(), text.View().end());
  }
  const std::string hex = vk::BytesToHex(engine.EncryptBuffer(message.bytes));
  if (const std::string warning = engine.RsaKeyWarning(); !warning.empty()) {
    std::fprintf(stderr, "vkcrypt: warning: %s\n", warning.c_str());
  }
  std::printf("%s\n", hex.c_str());
  return kOk;
}

int DecryptText(const std::vector<std::string>& words) {
  const Arguments args = Parse(words, {"--password-file", "--private-key-file"});
  if (args.help) return -1;
  NeedPositional(args, 0);
  CryptoEngine engine;
  if (const auto keyFile = Option(args, "--private-key-file")) {
    if (args.options.size() != 1) throw UsageError("--private-key-file takes no other option");
    engine.SetMethod(Method::kRsa);
    engine.SetPrivateKey(StrictHex(ReadTextFile(*keyFile).View(), "the key file '" + *keyFile + "'").bytes);
  } else {
    engine.SetSecretKeyFromPassPhrase(Password(args, false).View(), 128);
  }
  const WipedBytes plain{engine.DecryptBuffer(StrictHex(ReadStandardInput().View(), "the input").bytes)};
  WriteOut(plain.bytes);
  return kOk;
}

// Creates path holding the line and a line break, with the mode, never
// replacing a file.
void WriteNewFile(const std::string& path, std::string_view line, mode_t mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
  if (fd < 0) throw Failure("cannot create '" + path + "': " + std::strerror(errno));
  bool good = true;
  for (std::string_view piece : {line, std::string_view("\n")}) {
    while (good && !piece.empty()) {
      const ssize_t put = ::write(fd, piece.data(), piece.size());
      if (put < 0 && errno == EINTR) continue;
      good = put > 0;
      if (good) piece.remove_prefix(size_t(put));
    }
  }
  // The umask may have taken bits away and a folder's default access list
  // added some: the file gets exactly this mode.
  good = good && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  const int error = errno;
  if (::close(fd) != 0 || !good) {
    ::unlink(path.c_str());
    throw Failure("cannot write '" + path + "': " + std::strerror(good ? errno : error));
  }
}

int KeyPair(const std::vector<std::string>& words) {
  const Arguments args = Parse(words, {"--bits", "--out"});
  if (args.help) return -1;
  NeedPositional(args, 0);
  const auto bits = Option(args, "--bits");
  if (!bits) throw UsageError("--bits is required");
  const int size = ParseNumber(*bits, "--bits");
  static const int kSizes[] = {128, 256, 512, 1024, 2048, 3072, 4096, 5120, 6144, 7128};
  if (std::find(std::begin(kSizes), std::end(kSizes), size) == std::end(kSizes)) {
    throw UsageError("--bits must be 128, 256, 512, 1024, 2048, 3072, 4096, 5120, 6144 or 7128");
  }
  const auto out = Option(args, "--out");
  if (out && out->empty()) throw UsageError("--out needs a file name");
  CryptoEngine engine;
  engine.SetMethod(Method::kRsa);
  engine.CreateKeyPair(size);
  const std::string publicHex = vk::BytesToHex(engine.PublicKey());
  std::string privateHex = vk::BytesToHex(WipedBytes{engine.PrivateKey()}.bytes);
  try {
    if (out) {
      WriteNewFile(*out, privateHex, 0600);
      WriteNewFile(*out + ".pub", publicHex, 0644);
    } else {
      std::printf("public: %s\nprivate: %s\n", publicHex.c_str(), privateHex.c_str());
    }
  } catch (...) {
    ::explicit_bzero(privateHex.data(), privateHex.size());
    throw;
  }
  ::explicit_bzero(privateHex.data(), privateHex.size());
  return kOk;
}

// The set-up the application makes for its settings, vault and history.
void SetUpStoreKey(CryptoEngine& engine) {
  engine.SetMethod(Method::kRijndael);
  engine.SetSecretKeyFromPassPhrase(vk::kFileDescription, 256);
  engine.SetHashingMethod(HashingMethod::kSha2);
  engine.SetHashSize(512);
}

int StoreDecrypt(const std::vector<std::string>& words) {
  const Arguments args = Parse(words, {});
  if (args.help) return -1;
  NeedPositional(args, 1);
  CryptoEngine engine;
  SetUpStoreKey(engine);
  WriteOut(WipedBytes{engine.ReadBufferFromFile(args.positional[0])}.bytes);
  std::fputc('\n', stdout);
  return kOk;
}

int StoreField(const std::vector<std::string>& words) {
  const Arguments args = Parse(words, {});
  if (args.help) return -1;
  if (args.positional.empty()) throw UsageError("missing arguments");
  CryptoEngine engine;
  SetUpStoreKey(engine);
  for (const std::string& field : args.positional) {
    WriteOut(WipedBytes{engine.DecryptBuffer(StrictHex(field, "the field '" + field + "'").bytes)}.bytes);
    std::fputc('\n', stdout);
  }
  return kOk;
}

using Runner = int (*)(const std::vector<std::string>&);

int Run(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(MainUsage().c_str(), stderr);
    return kUsage;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    std::fputs(MainUsage().c_str(), stdout);
    return kOk;
  }
  if (name == "--version") {
    std::printf("vkcrypt %s\n", vk::kVersionText);
    return kOk;
  }
  static const std::map<std::string, Runner> runners = {
      {"encrypt", Encrypt},         {"decrypt", Decrypt},     {"encrypt-text", EncryptText},
      {"decrypt-text", DecryptText}, {"keypair", KeyPair},     {"store-decrypt", StoreDecrypt},
      {"store-field", StoreField}};
  const auto runner = runners.find(name);
  if (runner == runners.end()) {
    std::fprintf(stderr, "vkcrypt: unknown command '%s'\n\n%s", name.c_str(), MainUsage().c_str());
    return kUsage;
  }
  const CommandHelp& help = Help().at(name);
  try {
    const int status = runner->second(std::vector<std::string>(argv + 2, argv + argc));
    if (status < 0) {
      std::printf("Usage: vkcrypt %s\n\n%s", help.synopsis, help.text.c_str());
      return kOk;
    }
    if (std::fflush(stdout) != 0) throw Failure("cannot write to standard output");
    return status;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "vkcrypt: %s\nUsage: vkcrypt %s\nRun 'vkcrypt %s --help' for more.\n", e.what(),
                 help.synopsis, name.c_str());
    return kUsage;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vkcrypt: %s\n", e.what());
    return kFailed;
  }
}

}  // namespace
}  // namespace vkcrypt

int main(int argc, char** argv) {
  // The password typed on the terminal is converted from its character set.
  std::setlocale(LC_CTYPE, "");
  if (!vkcrypto::DisableCoreDumps()) std::fputs("vkcrypt: warning: core dumps could not be turned off\n", stderr);
  vkcrypt::EndCleanlyOnSignals();
  return vkcrypt::Run(argc, argv);
}
