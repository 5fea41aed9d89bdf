#pragma once

// A throw-away certificate authority for one test, made with the openssl
// command line, and server certificates for the TLS tests: one that a client
// trusting CaCertificate() accepts for localhost and 127.0.0.1, and one for
// each way verification must fail. Keys are EC P-256, one for all server
// certificates; every file is PEM in a folder of the CA's own, removed at
// the end.

#include <string>
#include <string_view>

#include "ServerProcess.h"

namespace vk::test {

struct CertificateFiles {
  std::string certificate;
  std::string key;
};

// openssl ca's terms: from `start` to `end` ("YYYYMMDDHHMMSSZ") when both
// are given, else `days` days from now.
struct Validity {
  int days = 30;
  std::string start = {};
  std::string end = {};
};

class TestCa {
 public:
  TestCa();

  // What a client trusts (a PEM bundle of one certificate).
  std::string CaCertificate() const { return folder_.File("ca/ca.pem"); }

  // DNS:localhost and IP:127.0.0.1, valid for 30 days from now.
  const CertificateFiles& Localhost() const { return localhost_; }
  // DNS:wrong-host.invalid only.
  const CertificateFiles& WrongHost() const { return wrongHost_; }
  // For localhost and 127.0.0.1, but valid on 1 January 2020 only.
  const CertificateFiles& Expired() const { return expired_; }
  // For localhost and 127.0.0.1, issued by another CA nobody trusts.
  const CertificateFiles& UnknownIssuer() const { return unknownIssuer_; }

  // Another certificate from this CA; `subjectAltName` as openssl writes it
  // ("DNS:a.test,IP:127.0.0.1").
  CertificateFiles Issue(std::string_view name, std::string_view subjectAltName, const Validity& validity = {}) const;

 private:
  void MakeAuthority(const std::string& name) const;
  CertificateFiles IssueBy(const std::string& authority, std::string_view name, std::string_view subjectAltName,
                           const Validity& validity) const;

  ServerFolder folder_;
  CertificateFiles localhost_;
  CertificateFiles wrongHost_;
  CertificateFiles expired_;
  CertificateFiles unknownIssuer_;
};

}  // namespace vk::test
