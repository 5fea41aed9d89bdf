#include <gtest/gtest.h>
#include <netinet/tcp.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "NetTestSupport.h"
#include "ScriptedServer.h"
#include "base/Codes.h"
#include "feed/ConfigChain.h"
#include "net/NetCodes.h"

namespace rssvane {
namespace {

using vk_test::ScriptedServer;
using Lines = std::vector<std::string>;

std::string Config(TcpConnection& c, std::string_view text, int* code = nullptr) {
  ConfigChain chain;
  chain.Attach(ConfigLevel::kTcp, &c.TcpSettings());
  chain.Attach(ConfigLevel::kSocketLibrary, &c.SocketLibrarySettings());
  ConfigResult result;
  int rc = chain.Offer(ParseConfigString(text), result);
  if (code) *code = rc;
  return rc ? result.message : result.value;
}

void Target(TcpConnection& c, uint16_t port) {
  ASSERT_EQ(c.SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(c.SetRemotePort(port), 0);
}

TEST(TcpConnection, EventsAndLinesArriveInOrderAndTheLastPartialLineBeforeTheClose) {
  ScriptedServer server({ScriptedServer::Script().Send("hello\r\nworld\r\npart").Close()});
  EventLog log;
  Client c(log);
  Target(c, server.Port());
  c.SetLineTerminator("\r\n");
  ASSERT_EQ(c.Connect(), 0);
  EXPECT_FALSE(c.Connected());
  ASSERT_TRUE(PumpUntil([&] { return Disconnected(log); }));
  EXPECT_EQ(log.lines, (Lines{"ConnectionStatus Remote host connection complete. 0 OK", "Connected 0 OK",
                              "Data hello|1", "Data world|1", "Data part|0",
                              "ConnectionStatus Remote host disconnected. 0 OK", "Disconnected 0 OK"}));
  EXPECT_FALSE(c.Connected());
  EXPECT_EQ(c.SocketHandle(), kInvalidSocket);
}

TEST(TcpConnection, ARefusedConnectionIsReportedThroughConnectedAndLeavesNoSocket) {
  EventLog log;
  TcpConnection c;
  c.SetEvents(&log);
  ClosedPort refused;
  Target(c, refused.Port());
  ASSERT_EQ(c.Connect(), 0);
  ASSERT_TRUE(PumpUntil([&] { return !log.lines.empty(); }));
  PumpMessages(20);
  EXPECT_EQ(log.lines, (Lines{"Connected 10061 [10061] Connection refused"}));
  EXPECT_EQ(c.SocketHandle(), kInvalidSocket);
  EXPECT_FALSE(c.Connected());
}

TEST(TcpConnection, LinesLongerThanMaxLineLengthArriveAsPieces) {
  ScriptedServer server({ScriptedServer::Script().Send("abcdefghij\r\nxy\r\n").Close()});
  EventLog log;
  Client c(log);
  EXPECT_EQ(Config(c, "MaxLineLength=4"), "");
  Target(c, server.Port());
  c.SetLineTerminator("\r\n");
  ASSERT_EQ(c.Connect(), 0);
  ASSERT_TRUE(PumpUntil([&] { return Disconnected(log); }));
  EXPECT_EQ(Lines(log.lines.begin() + 2, log.lines.end() - 2),
            (Lines{"Data abcd|0", "Data efgh|0", "Data ij|1", "Data xy|1"}));
}

TEST(TcpConnection, AResetDuringAReceiveDisconnectsWithoutAnErrorEvent) {
  ScriptedServer server({ScriptedServer::Script().Send("line\r\n").Pause(100).Reset()});
  EventLog log;
  Client c(log);
  Target(c, server.Port());
  c.SetLineTerminator("\r\n");
  ASSERT_EQ(c.Connect(), 0);
  ASSERT_TRUE(PumpUntil([&] { return Disconnected(log); }));
  EXPECT_EQ(Lines(log.lines.begin() + 2, log.lines.end()),
            (Lines{"Data line|1", "ConnectionStatus Remote host disconnected. 10054 [10054] Connection reset by peer",
                   "Disconnected 10054 [10054] Connection reset by peer"}));
  EXPECT_EQ(c.SocketHandle(), kInvalidSocket);
  // The next connect starts clean.
  Target(c, server.Port());
  ASSERT_EQ(c.Connect(), 0);
  EXPECT_TRUE(PumpUntil([&] { return c.Connected(); }));
}

TEST(TcpConnection, ADisconnectAskedForInsideAReadPassWaitsForItsEnd) {
  // The handler closes on "bye"; the lines already buffered still come,
  // then the close; a handler of Disconnected can connect again at once.
  ScriptedServer server({ScriptedServer::Script().Send("one\nbye\ntwo\n").ReceiveUntilClosed(2000),
                         ScriptedServer::Script().Send("again\n").Pause(2000)});
  EventLog log;
  Client c(log);
  Target(c, server.Port());
  c.SetLineTerminator("\n");
  c.onData = [&](std::string_view line) {
    if (line == "bye") {
      EXPECT_EQ(c.Disconnect(0), 0);
    }
  };
  log.onEvent = [&](const std::string& line) {
    if (line.starts_with("Disconnected")) {
      EXPECT_EQ(c.Connect(), 0);
    }
  };
  ASSERT_EQ(c.Connect(), 0);
  ASSERT_TRUE(PumpUntil([&] { return log.Has("Data again|1"); }));
  EXPECT_EQ(log.lines, (Lines{"ConnectionStatus Remote host connection complete. 0 OK", "Connected 0 OK",
                              "Data one|1", "Data bye|1", "Data two|1",
                              "ConnectionStatus Remote host disconnected. 0 OK", "Disconnected 0 OK",
                              "ConnectionStatus Remote host connection complete. 0 OK", "Connected 0 OK",
                              "Data again|1"}));
  EXPECT_EQ(server.Connections(), 2);
  EXPECT_TRUE(c.Connected());
}

TEST(TcpConnection, RefusalsOfTheConnectionSettingsAndSendWhenNotConnected) {
  ScriptedServer server({ScriptedServer::Script().Pause(2000)});
  TcpConnection c;
  EXPECT_EQ(c.Connect(), kErrAddressZero);
  EXPECT_EQ(c.LastErrorText(), "The RemoteHost address is invalid (0.0.0.0).");
  ASSERT_EQ(c.SetRemoteHost("127.0.0.1"), 0);
  EXPECT_EQ(c.Connect(), kErrPortInvalid);
  EXPECT_EQ(c.LastErrorText(), "RemotePort can't be zero. Please specify a valid service port number.");
  EXPECT_EQ(c.SetRemotePort(65536), kErrPortInvalid);
  EXPECT_EQ(c.Send("x", 1, true), kWsaNotConnected);
  EXPECT_EQ(c.LastErrorText(), "[10057] Socket is not connected");
  ASSERT_EQ(c.SetRemotePort(server.Port()), 0);
  ASSERT_EQ(c.Connect(), 0);
  EXPECT_EQ(c.Connect(), kErrAlreadyConnected);
  EXPECT_EQ(c.LastErrorText(), "Already connected. If you want to reconnect, close the current connection first.");
  EXPECT_EQ(c.SetRemoteHost("127.0.0.2"), kErrRemoteHostBusy);
  EXPECT_EQ(c.RemoteHost(), "127.0.0.1");
  EXPECT_EQ(c.SetRemotePort(1), kErrRemotePortBusy);
  int code = 0;
  EXPECT_EQ(Config(c, "MaxLineLength=10", &code), "You cannot change MaxLineSize at this time. A connection is in progress.");
  EXPECT_EQ(code, kErrLineLengthBusy);
  EXPECT_EQ(c.Disconnect(0), 0);
  EXPECT_EQ(c.SocketHandle(), kInvalidSocket);
}

TEST(TcpConnection, SettingsOfTheLayer) {
  ScriptedServer server({ScriptedServer::Script().Pause(2000)});
  TcpConnection c;
  EXPECT_EQ(Config(c, "MaxLineLength=100000"), "");
  EXPECT_EQ(Config(c, "maxlinelength"), "65536");
  EXPECT_EQ(Config(c, "MaxLineLength=-5"), "");
  EXPECT_EQ(Config(c, "MaxLineLength"), "1");
  EXPECT_EQ(Config(c, "SocketHandle"), "-1");
  int code = 0;
  EXPECT_EQ(Config(c, "SocketHandle=3", &code), "Unknown config setting.");
  EXPECT_EQ(Config(c, "FirewallData=anything"), "");
  EXPECT_EQ(Config(c, "FirewallData"), "");
  EXPECT_EQ(Config(c, "InBufferSize=1024"), "");
  EXPECT_EQ(Config(c, "InBufferSize"), "1024");
  EXPECT_EQ(Config(c, "TcpNoDelay=yes"), "");
  EXPECT_EQ(Config(c, "TcpNoDelay"), "True");

  Target(c, server.Port());
  ASSERT_EQ(c.Connect(), 0);
  ASSERT_TRUE(PumpUntil([&] { return c.Connected(); }));
  Socket s = c.SocketHandle();
  EXPECT_EQ(Config(c, "SocketHandle"), std::to_string(s));
  auto option = [s](int level, int name) {
    int value = -1;
    socklen_t length = sizeof value;
    ::getsockopt(s, level, name, &value, &length);
    return value;
  };
  // TcpNoDelay is the TCP level's TCP_NODELAY, not the socket level's option 1.
  EXPECT_EQ(option(IPPROTO_TCP, TCP_NODELAY), 1);
  EXPECT_EQ(option(SOL_SOCKET, SO_DEBUG), 0);
  EXPECT_EQ(option(SOL_SOCKET, SO_KEEPALIVE), 0);
  EXPECT_EQ(option(SOL_SOCKET, SO_OOBINLINE), 1);
  // 1024 was stored and never applied: the system's default stands.
  int fresh = ::socket(AF_INET, SOCK_STREAM, 0);
  int defaultSize = 0;
  socklen_t length = sizeof defaultSize;
  ::getsockopt(fresh, SOL_SOCKET, SO_RCVBUF, &defaultSize, &length);
  ::close(fresh);
  EXPECT_EQ(option(SOL_SOCKET, SO_RCVBUF), defaultSize);
  EXPECT_EQ(Config(c, "InBufferSize=50000"), "");
  EXPECT_GE(option(SOL_SOCKET, SO_RCVBUF), 50000);
  // A size the socket already has leaves the system's own buffer, which
  // grows with the connection; a larger one is set.
  if (defaultSize >= 50000) {
    EXPECT_EQ(option(SOL_SOCKET, SO_RCVBUF), defaultSize);
  }
  EXPECT_EQ(Config(c, "InBufferSize=" + std::to_string(defaultSize + 100000)), "");
  EXPECT_GE(option(SOL_SOCKET, SO_RCVBUF), defaultSize + 100000);
  EXPECT_EQ(Config(c, "TcpNoDelay=0"), "");
  EXPECT_EQ(option(IPPROTO_TCP, TCP_NODELAY), 0);
}

// A server that sends a line every 250 ms for 1.5 s, then closes.
ScriptedServer::Script Trickle() {
  ScriptedServer::Script script;
  for (int i = 0; i < 6; ++i) script.Send("x\n").Pause(250);
  return script.Close();
}

TEST(TcpConnection, TimeoutBoundsInactivityUnlessAbsoluteTimeoutBoundsTheWholeWait) {
  ScriptedServer server({Trickle()});
  EventLog log;
  Client c(log);
  c.SetTimeoutSeconds(1);
  c.SetLineTerminator("\n");
  Target(c, server.Port());
  ASSERT_EQ(c.Connect(), 0);
  c.ArmDeadline();
  EXPECT_EQ(c.WaitUntil([&] { return Disconnected(log); }), 0) << c.LastErrorText();
  EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "Data x|1"), 6);

  log.lines.clear();
  EXPECT_EQ(Config(c, "AbsoluteTimeout=true"), "");
  EXPECT_EQ(Config(c, "AbsoluteTimeout"), "True");
  ASSERT_EQ(c.Connect(), 0);
  c.ArmDeadline();
  EXPECT_EQ(c.WaitUntil([&] { return Disconnected(log); }), kErrInterrupted);
  EXPECT_EQ(c.LastErrorText(), "Timeout.");
  EXPECT_LT(std::count(log.lines.begin(), log.lines.end(), "Data x|1"), 6);

  // Timeout 0 arms nothing: the only wait without an end.
  c.SetTimeoutSeconds(0);
  c.ArmDeadline();
  EXPECT_FALSE(c.DeadlineArmed());
}

TEST(TcpConnection, SendAllIntoAPeerThatDoesNotReadEndsWithTheTimeout) {
  // The peer stays far longer than the time-out, which a loaded machine may
  // stretch by seconds while the buffers fill.
  ScriptedServer server({ScriptedServer::Script().Pause(20000)});
  TcpConnection c;
  c.SetTimeoutSeconds(1);
  Target(c, server.Port());
  ASSERT_EQ(c.Connect(), 0);
  ASSERT_TRUE(PumpUntil([&] { return c.Connected(); }));
  std::string bulk(64 << 20, 'x');
  EXPECT_EQ(c.SendAll(bulk.data(), bulk.size()), kErrInterrupted);
  EXPECT_EQ(c.LastErrorText(), "Timeout.");
}

TEST(TcpConnection, AConnectionDestroyedWhileItsCallWaitsEndsThatWaitInterrupted) {
  ScriptedServer server({ScriptedServer::Script().Pause(4000)});
  auto owner = std::make_shared<TcpConnection>();
  owner->SetLifetime(owner);
  TcpConnection* c = owner.get();
  Target(*c, server.Port());
  ASSERT_EQ(c->Connect(), 0);
  ASSERT_TRUE(PumpUntil([&] { return c->Connected(); }));
  // The host, serving its own events during the wait, drops the object.
  struct Host {
    std::shared_ptr<TcpConnection>* owner;
    int passes = 0;
  } host{&owner};
  SetHostEventHook(
      [](void* context) {
        Host* h = static_cast<Host*>(context);
        if (++h->passes == 3) {
          (*h->owner)->Destroy();
          h->owner->reset();
        }
        return true;
      },
      &host);
  std::string bulk(64 << 20, 'x');
  int rc = c->SendAll(bulk.data(), bulk.size());
  SetHostEventHook(nullptr, nullptr);
  EXPECT_EQ(rc, kErrInterrupted);
  EXPECT_EQ(owner, nullptr);
}

TEST(TcpConnection, NoDescriptorOutlivesThousandsOfFailedConnections) {
  ScriptedServer closing({});
  const ClosedPort closed;
  const uint16_t refused = closed.Port();
  const size_t before = OpenDescriptors();
  EventLog log;
  TcpConnection c;
  c.SetEvents(&log);
  for (int i = 0; i < 3000; ++i) {
    log.lines.clear();
    Target(c, i % 3 == 0 ? refused : closing.Port());
    ASSERT_EQ(c.Connect(), 0);
    if (i % 3 == 2) {
      ASSERT_EQ(c.Disconnect(0), 0);  // given up before it completes
      continue;
    }
    ASSERT_TRUE(PumpUntil([&] {
      return !log.lines.empty() && (log.lines[0].starts_with("Connected 10061") || Disconnected(log));
    })) << i;
  }
  PumpMessages(50);
  EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace rssvane
