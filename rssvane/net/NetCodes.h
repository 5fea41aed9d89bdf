#pragma once

// Codes of the network transport: the socket library's error numbers that
// the layers act on, the TCP connection's own refusals (100 to 116) and
// the failures of TLS.

namespace rssvane {

enum : int {
  kErrRemotePortBusy = 100,
  kErrRemoteHostBusy = 101,
  kErrAddressZero = 102,
  kErrAlreadyConnected = 104,
  kErrLineLengthBusy = 112,
  kErrPortInvalid = 116,
  // A TLS handshake, certificate check or record that failed; the text
  // carries OpenSSL's reason.
  kErrTls = 119,
};

// Socket library numbers (Winsock's, which callers and hosts expect).
enum : int {
  kWsaWouldBlock = 10035,
  kWsaNotSocket = 10038,
  kWsaConnectionAborted = 10053,
  kWsaConnectionReset = 10054,
  kWsaNotConnected = 10057,
  kWsaSubsystemNotReady = 10091,
  kWsaNotInitialised = 10093,
  kWsaHostNotFound = 11001,
  kWsaTryAgain = 11002,
  kWsaNoRecovery = 11003,
  kWsaNoData = 11004,
};

}  // namespace rssvane
