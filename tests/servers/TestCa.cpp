#include "TestCa.h"

namespace vk::test {
namespace {

constexpr char kLocalhost[] = "DNS:localhost,IP:127.0.0.1";

}  // namespace

TestCa::TestCa() : folder_("test-ca") {
  MakeAuthority("ca");
  MakeAuthority("other-ca");
  // One key and request for all server certificates, each named when it is
  // signed: one openssl run per certificate instead of two.
  RunCommandOrThrow({kOpenssl, "req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                     "-keyout", folder_.File("server.key"), "-out", folder_.File("server.csr"), "-subj",
                     "/CN=server"});
  localhost_ = Issue("localhost", kLocalhost);
  wrongHost_ = Issue("wrong-host", "DNS:wrong-host.invalid");
  expired_ = Issue("expired", kLocalhost, {.start = "20200101000000Z", .end = "20200102000000Z"});
  unknownIssuer_ = IssueBy("other-ca", "unknown-issuer", kLocalhost, {});
}

void TestCa::MakeAuthority(const std::string& name) const {
  const std::string dir = folder_.File(name);
  folder_.Write(name + "/index.txt", "");
  folder_.Write(name + "/serial", "1000\n");
  // The smallest configuration `openssl ca` signs with: its files and a
  // policy that asks only for a common name.
  folder_.Write(name + "/ca.cnf", "[ca]\ndefault_ca = test_ca\n[test_ca]\n"
                                  "database = " + dir + "/index.txt\n"
                                  "new_certs_dir = " + dir + "\n"
                                  "certificate = " + dir + "/ca.pem\n"
                                  "private_key = " + dir + "/ca.key\n"
                                  "serial = " + dir + "/serial\n"
                                  "default_md = sha256\npolicy = any\nunique_subject = no\n"
                                  "[any]\ncommonName = supplied\n");
  RunCommandOrThrow({kOpenssl, "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                     "-keyout", dir + "/ca.key", "-out", dir + "/ca.pem", "-subj", "/CN=vk test " + name,
                     "-days", "30", "-addext", "basicConstraints=critical,CA:TRUE",
                     "-addext", "keyUsage=critical,keyCertSign,cRLSign"});
}

CertificateFiles TestCa::Issue(std::string_view name, std::string_view subjectAltName,
                               const Validity& validity) const {
  return IssueBy("ca", name, subjectAltName, validity);
}

CertificateFiles TestCa::IssueBy(const std::string& authority, std::string_view name,
                                 std::string_view subjectAltName, const Validity& validity) const {
  const std::string base = folder_.File(std::string(name));
  const CertificateFiles files{base + ".pem", folder_.File("server.key")};
  const std::string extensions =
      folder_.Write(std::string(name) + ".ext", "subjectAltName=" + std::string(subjectAltName) +
                                                    "\nbasicConstraints=critical,CA:FALSE\n"
                                                    "extendedKeyUsage=serverAuth\n");
  std::vector<std::string> sign{kOpenssl, "ca", "-batch", "-notext", "-config", folder_.File(authority + "/ca.cnf"),
                                "-in", folder_.File("server.csr"), "-subj", "/CN=" + std::string(name),
                                "-out", files.certificate, "-extfile", extensions};
  if (!validity.start.empty() && !validity.end.empty()) {
    sign.insert(sign.end(), {"-startdate", validity.start, "-enddate", validity.end});
  } else {
    sign.insert(sign.end(), {"-days", std::to_string(validity.days)});
  }
  RunCommandOrThrow(sign);
  return files;
}

}  // namespace vk::test
