// vkcrypt as a script uses it: exit codes, messages on standard error, and
// output the engine and the tool itself read back.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>
#include <utility>

#include "../TestFolder.h"
#include "vk/Version.h"

namespace vkcrypto {
namespace {

using testing::Text;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

class Vkcrypt : public ::testing::Test {
 protected:
  // Runs vkcrypt with ARGS (shell words) and INPUT on standard input, away
  // from any terminal.
  Result Run(const std::string& args, const std::string& input = "") {
    testing::WriteFile(folder_.File(".stdin"), Text(input));
    const std::string command = "setsid -w " VKCRYPT_PATH " " + args + " <" + folder_.File(".stdin") + " 2>" +
                                folder_.File(".stderr");
    Result result;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const Bytes err = testing::ReadFile(folder_.File(".stderr"));
    result.err.assign(err.begin(), err.end());
    std::filesystem::remove(folder_.File(".stdin"));
    std::filesystem::remove(folder_.File(".stderr"));
    return result;
  }

  std::string File(const std::string& name) const { return folder_.File(name); }

  testing::TestFolder folder_;
};

TEST_F(Vkcrypt, FilesRoundTripAndAWrongPasswordLeavesNoDestination) {
  testing::WriteFile(File("pw"), Text("s3cret\n"));
  testing::WriteFile(File("plain.txt"), Text("file contents\n"));
  Result r = Run("encrypt --algorithm twofish --strength 256 --hash sha2 --hash-size 512 --password-file " +
                 File("pw") + " " + File("plain.txt") + " " + File("plain.vkf"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const Bytes sealed = testing::ReadFile(File("plain.vkf"));
  ASSERT_GT(sealed.size(), 8u);
  EXPECT_EQ(testing::ToHex(Bytes(sealed.begin(), sealed.begin() + 8)), "564B014602200140");

  r = Run("decrypt --password-file " + File("pw") + " " + File("plain.vkf") + " " + File("back.txt"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testing::ReadFile(File("back.txt")), Text("file contents\n"));

  testing::WriteFile(File("wrong"), Text("S3cret\n"));
  r = Run("decrypt --password-file " + File("wrong") + " " + File("plain.vkf") + " " + File("never.txt"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vkcrypt: wrong password or damaged data\n");
  EXPECT_FALSE(std::filesystem::exists(File("never.txt")));

  r = Run("decrypt --password-file " + File("pw") + " " + File("missing.vkf") + " " + File("never.txt"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vkcrypt: cannot open '" + File("missing.vkf") + "': No such file or directory\n");
}

TEST_F(Vkcrypt, TextRoundTripsWithThePasswordOnStandardInput) {
  Result r = Run("encrypt-text --hash sha2 --hash-size=384 --password-file -", "pw line\nthe message\nline 2");
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(r.out.back(), '\n');
  const std::string hex = r.out.substr(0, r.out.size() - 1);
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(hex.size(), 2 * (60 + std::string("the message\nline 2").size()));
  EXPECT_EQ(hex.substr(0, 16), "564B014D01100130");  // Rijndael 128, SHA-384

  r = Run("decrypt-text --password-file -", "pw line\n" + hex + "\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "the message\nline 2");

  r = Run("decrypt-text --password-file -", "pw line\n" + hex.substr(0, hex.size() - 2) + "\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vkcrypt: wrong password or damaged data\n");
  r = Run("decrypt-text --password-file -", "pw line\nnot hex");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vkcrypt: the input is not hexadecimal text\n");
}

TEST_F(Vkcrypt, KeyPairLinesEncryptAndDecryptWithRsa) {
  Result r = Run("keypair --bits 1024");
  ASSERT_EQ(r.status, 0) << r.err;
  const size_t newline = r.out.find('\n');
  ASSERT_NE(newline, std::string::npos);
  ASSERT_EQ(r.out.substr(0, 8), "public: ");
  ASSERT_EQ(r.out.substr(newline + 1, 9), "private: ");
  testing::WriteFile(File("public.txt"), Text(r.out.substr(8, newline - 8)));
  testing::WriteFile(File("private.txt"), Text(r.out.substr(newline + 10)));

  r = Run("encrypt-text --public-key-file " + File("public.txt"), "to the key holder");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, 14), "564B0152010080");
  EXPECT_EQ(r.err, "vkcrypt: warning: a key of 1024 bits is weak: use a key of 2048 bits or more\n");
  r = Run("decrypt-text --private-key-file " + File("private.txt"), r.out);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "to the key holder");

  r = Run("keypair --bits 512");
  ASSERT_EQ(r.status, 0);
  testing::WriteFile(File("small.txt"), Text(r.out.substr(8, r.out.find('\n') - 8)));
  r = Run("encrypt-text --public-key-file " + File("small.txt"), "x");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vkcrypt: too small to protect a message: use a key of 2048 bits or more\n");
  EXPECT_EQ(r.out, "");
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A redirected private key gets the umask's mode, here 0666; --out gives it
// 0600 whatever the umask, and never overwrites a key.
TEST_F(Vkcrypt, KeyPairOutWritesAPrivateKeyFileAndThePublicKeyBesideIt) {
  const mode_t umask = ::umask(0);
  Result r = Run("keypair --bits 2048 --out " + File("id"));
  ::umask(umask);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ModeOf(File("id")), 0600u);
  EXPECT_EQ(ModeOf(File("id.pub")), 0644u);
  r = Run("encrypt-text --public-key-file " + File("id.pub"), "for the holder");
  EXPECT_EQ(r.err, "");  // 2048 bits: no warning
  EXPECT_EQ(Run("decrypt-text --private-key-file " + File("id"), r.out).out, "for the holder");

  const Bytes key = testing::ReadFile(File("id"));
  r = Run("keypair --bits 1024 --out " + File("id"));
  EXPECT_EQ(r.err, "vkcrypt: cannot create '" + File("id") + "': File exists\n");
  EXPECT_EQ(testing::ReadFile(File("id")), key);
  EXPECT_NE(Run("keypair --help").out.find("--out FILE    print nothing: write the private key's"), std::string::npos);
}

// vkcrypt on a pseudo-terminal that is its controlling terminal, as when a
// person runs it.
class OnTerminal {
 public:
  explicit OnTerminal(std::vector<std::string> args) : args_(std::move(args)) {
    EXPECT_EQ(::openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
    std::vector<char*> argv = {const_cast<char*>(VKCRYPT_PATH)};
    for (std::string& arg : args_) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::setsid();
      ::ioctl(slave_, TIOCSCTTY, 0);
      ::execv(VKCRYPT_PATH, argv.data());
      ::_exit(127);
    }
  }
  ~OnTerminal() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
    ::close(master_);
    ::close(slave_);
  }

  // Reads what vkcrypt writes until `text` appears, for at most ten seconds.
  bool WaitFor(const std::string& text) {
    std::string seen;
    for (int i = 0; i < 100 && seen.find(text) == std::string::npos; ++i) {
      pollfd ready{master_, POLLIN, 0};
      char buffer[256];
      const ssize_t got = ::poll(&ready, 1, 100) == 1 ? ::read(master_, buffer, sizeof buffer) : 0;
      if (got > 0) seen.append(buffer, size_t(got));
    }
    return seen.find(text) != std::string::npos;
  }

  bool Echoing() const {
    termios settings{};
    return ::tcgetattr(slave_, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
  }

  // The signal that ended vkcrypt, or -1.
  int Wait() {
    int status = 0;
    const pid_t pid = std::exchange(pid_, -1);
    return ::waitpid(pid, &status, 0) == pid && WIFSIGNALED(status) ? WTERMSIG(status) : -1;
  }

  pid_t Pid() const { return pid_; }

 private:
  std::vector<std::string> args_;
  int master_ = -1;
  int slave_ = -1;
  pid_t pid_ = -1;
};

TEST_F(Vkcrypt, ASignalAtThePasswordPromptTurnsEchoBackOnAndNoCoreIsDumped) {
  testing::WriteFile(File("plain.txt"), Text("x"));
  for (int signo : {SIGINT, SIGTERM, SIGHUP}) {
    OnTerminal vkcrypt({"encrypt", File("plain.txt"), File("out.vkf")});
    ASSERT_TRUE(vkcrypt.WaitFor("Password: "));
    EXPECT_FALSE(vkcrypt.Echoing());
    std::ifstream limits("/proc/" + std::to_string(vkcrypt.Pid()) + "/limits");
    const std::string text((std::istreambuf_iterator<char>(limits)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(std::regex_search(text, std::regex("Max core file size +0 +0 "))) << text;
    ASSERT_EQ(::kill(vkcrypt.Pid(), signo), 0);
    EXPECT_EQ(vkcrypt.Wait(), signo);
    EXPECT_TRUE(vkcrypt.Echoing()) << signo;
  }
}

TEST_F(Vkcrypt, StoreCommandsReadWhatTheApplicationWrites) {
  CryptoEngine store;
  store.SetMethod(Method::kRijndael);
  store.SetSecretKeyFromPassPhrase(vk::kFileDescription, 256);
  store.SetHashingMethod(HashingMethod::kSha2);
  store.SetHashSize(512);
  store.SetKdfIterationsForTesting(50);
  store.WriteBufferToFile(Text("{GUID}|0|-1|3||-1|5|UNSETVALUE|2|0|"), File("settings.dat"));
  Result r = Run("store-decrypt " + File("settings.dat"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "{GUID}|0|-1|3||-1|5|UNSETVALUE|2|0|\n");

  const std::string first = testing::ToHex(store.EncryptBuffer(Text("report.vkf")));
  const std::string second = testing::ToHex(store.EncryptBuffer(Text("")));
  r = Run("store-field " + first + " " + second);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "report.vkf\n\n");

  r = Run("store-field --help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("The store key is fixed by design"), std::string::npos);
}

TEST_F(Vkcrypt, UsageMistakesExitWithTwoAndNoTerminalWithOne) {
  EXPECT_EQ(Run("").status, 2);
  EXPECT_EQ(Run("--help").status, 0);
  Result r = Run("frobnicate");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.substr(0, 38), "vkcrypt: unknown command 'frobnicate'\n");
  r = Run("encrypt --hash haval --hash-size 512 a b");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "vkcrypt: --hash-size for haval must be 128, 160, 192, 224 or 256");
  EXPECT_EQ(Run("encrypt --password secret a b").status, 2);
  EXPECT_EQ(Run("encrypt onlyone").status, 2);
  EXPECT_EQ(Run("keypair --bits 7168").status, 2);
  EXPECT_EQ(Run("decrypt-text --private-key-file k --password-file p").status, 2);
  for (const char* command : {"encrypt", "decrypt", "encrypt-text", "decrypt-text", "keypair", "store-decrypt"}) {
    r = Run(std::string(command) + " --help");
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_EQ(r.out.substr(0, 15 + std::strlen(command)), std::string("Usage: vkcrypt ") + command) << command;
  }
  testing::WriteFile(File("plain.txt"), Text("x"));
  r = Run("encrypt " + File("plain.txt") + " " + File("out.vkf"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vkcrypt: no terminal to ask for the password on; use --password-file\n");
  testing::WriteFile(File("empty"), Text("\n"));
  r = Run("encrypt --password-file " + File("empty") + " " + File("plain.txt") + " " + File("out.vkf"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vkcrypt: the password is empty\n");
}

}  // namespace
}  // namespace vkcrypto
