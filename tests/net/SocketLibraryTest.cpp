#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <memory>
#include <string>

#include "NetTestSupport.h"
#include "base/Codes.h"
#include "feed/ConfigChain.h"
#include "net/NetCodes.h"
#include "net/SocketLibrary.h"
#include "net/SocketObject.h"

namespace rssvane {
namespace {

std::string Config(SocketObject& o, std::string_view text) {
  ConfigResult result;
  ConfigSetting setting = ParseConfigString(text);
  if (!o.SocketLibrarySettings().Configure(setting, result)) return "(unknown)";
  return result.value;
}

// Names another library file for the objects made inside the scope.
struct LibraryName {
  explicit LibraryName(std::string_view name) { SocketLibrary::Instance().SetLibraryName(name); }
  ~LibraryName() { SocketLibrary::Instance().SetLibraryName({}); }
};

TEST(SocketLibrary, SharedByEveryObjectAndUnboundWhenTheLastOneGoes) {
  SocketLibrary& library = SocketLibrary::Instance();
  ASSERT_EQ(library.ReferenceCount(), 0);
  auto first = std::make_unique<SocketObject>();
  auto second = std::make_unique<SocketObject>();
  EXPECT_EQ(library.ReferenceCount(), 2);
  first.reset();
  // The second still has its library, and its start-up data.
  EXPECT_EQ(Config(*second, "WinsockLoaded"), "True");
  EXPECT_EQ(Config(*second, "WinsockStatus"), "Running");
  EXPECT_EQ(Config(*second, "WinsockMaxDatagramSize"), "65507");
  EXPECT_GT(std::stoi(Config(*second, "WinsockMaxSockets")), 0);
  std::string path = Config(*second, "WinsockPath");
  EXPECT_TRUE(path.starts_with("/") && path.ends_with("/libc.so.6")) << path;
  Socket s = Sockets().socket(2, 1, 0);
  ASSERT_NE(s, kInvalidSocket);
  EXPECT_EQ(Sockets().closesocket(s), 0);

  second.reset();
  EXPECT_EQ(library.ReferenceCount(), 0);
  EXPECT_EQ(library.SystemStatus(), "Down");
  EXPECT_EQ(library.Path(), "");
  // The fallbacks are back: everything fails as an unstarted library does.
  EXPECT_EQ(Sockets().socket(2, 1, 0), kInvalidSocket);
  EXPECT_EQ(Sockets().WSAGetLastError(), kWsaNotInitialised);
  EXPECT_EQ(Sockets().inet_addr("127.0.0.1"), 0xFFFFFFFFu);
}

TEST(SocketLibrary, AnObjectWhoseStartFailedWorksAgainstTheFallbacks) {
  {
    LibraryName missing("librssvane-no-such-library.so.0");
    TcpConnection c;
    EXPECT_EQ(Config(c, "WinsockLoaded"), "False");
    EXPECT_EQ(Config(c, "WinsockInfo"), "Could not load Winsock DLL.");
    EXPECT_EQ(Config(c, "WinsockStatus"), "Down");
    // Without a library no host resolves; the address stays 0, which
    // connecting refuses.
    EXPECT_EQ(c.SetRemoteHost("127.0.0.1"), 0);
    EXPECT_EQ(c.SetRemotePort(80), 0);
    EXPECT_EQ(c.Connect(), kErrAddressZero);
  }
  {
    // A library without the socket calls loads, but cannot start.
    LibraryName noSockets("libm.so.6");
    SocketObject o;
    EXPECT_EQ(Config(o, "WinsockLoaded"), "False");
    EXPECT_EQ(Config(o, "WinsockInfo"), "Network subsystem not ready.");
    EXPECT_EQ(SocketLibrary::Instance().ReferenceCount(), 0);
  }
}

TEST(SocketLibrary, TheLibrarySettingsAreReadOnlyExceptAbsoluteTimeout) {
  SocketObject o;
  EXPECT_EQ(Config(o, "WinsockStatus=Up"), "(unknown)");
  EXPECT_EQ(Config(o, "WinsockLoaded=false"), "(unknown)");
  EXPECT_EQ(Config(o, "absolutetimeout"), "False");
  EXPECT_EQ(Config(o, "AbsoluteTimeout=YES"), "");
  EXPECT_EQ(Config(o, "AbsoluteTimeout"), "True");
  EXPECT_EQ(Config(o, "CodePage"), "(unknown)");  // the text conversion layer's
}

TEST(SocketLibrary, HostsResolveToIpv4AndErrnoValuesToTheLibrarysNumbers) {
  SocketObject o;
  uint32_t address = 1;
  EXPECT_EQ(o.ResolveHost("", address), 0);
  EXPECT_EQ(address, 0u);
  EXPECT_EQ(o.ResolveHost("127.0.0.1", address), 0);
  EXPECT_EQ(address, htonl(INADDR_LOOPBACK));
  EXPECT_EQ(o.ResolveHost("localhost", address), 0);  // from /etc/hosts, no server asked
  EXPECT_EQ(address, htonl(INADDR_LOOPBACK));
  EXPECT_EQ(o.ResolveHost(std::string_view("127.0.0.1\0.evil", 15), address), kWsaHostNotFound);
  EXPECT_EQ(o.LastErrorText(), "[11001] Host not found");

  EXPECT_EQ(SocketErrorOfResolver(EAI_NONAME, 0), kWsaHostNotFound);
  EXPECT_EQ(SocketErrorOfResolver(EAI_AGAIN, 0), kWsaTryAgain);
  EXPECT_EQ(SocketErrorOfResolver(EAI_SYSTEM, ECONNREFUSED), 10061);
  EXPECT_EQ(SocketErrorOfErrno(ETIMEDOUT), 10060);
  EXPECT_EQ(SocketErrorOfErrno(EHOSTUNREACH), 10065);
  // An errno without a counterpart must not pass for another number:
  // EDEADLK is 35 here, and 10035 means "would block".
  EXPECT_EQ(SocketErrorOfErrno(EDEADLK), 12000 + EDEADLK);
  EXPECT_EQ(DescriptionForCode(SocketErrorOfErrno(EDEADLK), {}), "[12035] (no description available)");
}

}  // namespace
}  // namespace rssvane
