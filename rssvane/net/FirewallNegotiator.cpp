#include "net/FirewallNegotiator.h"

#include <utility>

#include "base/AsciiText.h"
#include "base/Base64.h"
#include "base/Codes.h"

namespace rssvane {

namespace {

constexpr size_t kSocksFieldMax = 255;

std::string_view Socks5ReplyText(uint8_t code) {
  switch (code) {
    case 1: return "general SOCKS server failure";
    case 2: return "connection not allowed by ruleset";
    case 3: return "network unreachable";
    case 4: return "host unreachable";
    case 5: return "connection refused";
    case 6: return "TTL expired";
    case 7: return "command not supported";
    case 8: return "address type not supported";
    default: return {};
  }
}

void AppendPort(std::string& out, int32_t port) {
  out += static_cast<char>((port >> 8) & 0xFF);
  out += static_cast<char>(port & 0xFF);
}

// Where the header block of a CONNECT reply ends, after its empty line.
size_t EndOfHeaderBlock(std::string_view reply) {
  size_t crlf = reply.find("\r\n\r\n");
  size_t lf = reply.find("\n\n");
  if (crlf != std::string_view::npos && (lf == std::string_view::npos || crlf < lf)) return crlf + 4;
  return lf == std::string_view::npos ? lf : lf + 2;
}

// The proxy's status code starts after the first run of blanks.
bool TunnelGranted(std::string_view header) {
  size_t blank = header.find(' ');
  if (blank == std::string_view::npos) return false;
  size_t code = header.find_first_not_of(' ', blank);
  return code != std::string_view::npos && header[code] == '2';
}

}  // namespace

FirewallStep FirewallNegotiator::Start(const FirewallSettings& settings) {
  type_ = settings.type;
  remoteHost_ = settings.remoteHost;
  remotePort_ = settings.remotePort;
  user_ = settings.user;
  password_ = settings.password;
  proxyAuthorization_ = settings.proxyAuthorization;
  resolve_ = settings.resolve;
  reply_.clear();
  endedByTerminator_ = false;
  negotiating_ = type_ != fwNone;
  FirewallStep step;
  if (type_ == fwNone) {
    step.outcome = FirewallStep::Outcome::kCompleted;
    return step;
  }
  if (remotePort_ < 1 || remotePort_ > 65535) {
    Fail(step, "The RemotePort is invalid (" + std::to_string(remotePort_) + ").");
    return step;
  }
  switch (type_) {
    case fwTunnel: {
      if (HasControlByte(remoteHost_) || HasControlByte(proxyAuthorization_)) {
        Fail(step, "firewall request not sent: RemoteHost or the proxy authorization holds a control character");
        return step;
      }
      step.send = "CONNECT " + remoteHost_ + ":" + std::to_string(remotePort_) + " HTTP/1.0\r\n";
      if (!proxyAuthorization_.empty()) {
        step.send += "Proxy-authorization: " + proxyAuthorization_ + "\r\n";
      } else if (!user_.empty() || !password_.empty()) {
        step.send += "Proxy-authorization: Basic " + Base64Encode(user_ + ":" + password_) + "\r\n";
      }
      step.send += "\r\n";
      return step;
    }
    case fwSOCKS4: {
      // The user field ends at the first zero byte; the rest would reach the
      // server as tunnelled data.
      if (user_.find('\0') != std::string::npos) {
        Fail(step, "firewall request not sent: FirewallUser holds a zero byte");
        return step;
      }
      std::array<uint8_t, 4> address{};
      if (!Resolve(address, step)) return step;
      step.send = {4, 1};
      AppendPort(step.send, remotePort_);
      step.send.append(address.begin(), address.end());
      step.send += user_;
      step.send += '\0';
      return step;
    }
    default: {
      if (user_.size() > kSocksFieldMax || password_.size() > kSocksFieldMax) {
        Fail(step, "firewall request not sent: FirewallUser or FirewallPassword is longer than 255 bytes");
        return step;
      }
      if (remoteHost_.starts_with('*') && remoteHost_.size() - 1 > kSocksFieldMax) {
        Fail(step, "firewall request not sent: the RemoteHost name is longer than 255 bytes");
        return step;
      }
      step.send = !user_.empty() && !password_.empty() ? std::string{5, 2, 0, 2} : std::string{5, 1, 0};
      socks5Step_ = Socks5Step::kMethod;
      return step;
    }
  }
}

FirewallStep FirewallNegotiator::Data(std::string_view bytes, bool endedByTerminator) {
  FirewallStep step;
  if (!negotiating_) {
    step.outcome = FirewallStep::Outcome::kCompleted;
    step.leftover = bytes;
    step.leftoverEndedByTerminator = endedByTerminator;
    return step;
  }
  reply_.append(bytes);
  endedByTerminator_ = endedByTerminator;
  switch (type_) {
    case fwTunnel: ReadTunnelReply(step); break;
    case fwSOCKS4: ReadSocks4Reply(step); break;
    default: ReadSocks5Reply(step); break;
  }
  return step;
}

FirewallStep FirewallNegotiator::Closed() {
  FirewallStep step;
  if (negotiating_) Fail(step, "The firewall closed the connection during negotiation.");
  return step;
}

void FirewallNegotiator::ReadTunnelReply(FirewallStep& step) {
  size_t end = EndOfHeaderBlock(reply_);
  if (end == std::string::npos) {
    if (reply_.size() > kMaxTunnelReplyBytes) {
      Fail(step, "firewall reply too long: no end of its header block within 16384 bytes");
    }
    return;
  }
  // The whole header block decides, however the reply was cut.
  std::string_view header = std::string_view(reply_).substr(0, end);
  if (TunnelGranted(header)) return Complete(step, end);
  while (header.ends_with('\n') || header.ends_with('\r')) header.remove_suffix(1);
  Fail(step, std::string(header));
}

void FirewallNegotiator::ReadSocks4Reply(FirewallStep& step) {
  if (reply_.size() < 2) return;
  switch (static_cast<uint8_t>(reply_[1])) {
    case 90:
      if (reply_.size() >= 8) Complete(step, 8);
      return;
    case 91: return Fail(step, "firewall request rejected or failed");
    case 92: return Fail(step, "firewall request rejected because identd is not available");
    case 93: return Fail(step, "firewall request rejected because identd reports different user");
    default:
      return Fail(step, "unknown firewall error: " + std::to_string(static_cast<int8_t>(reply_[1])));
  }
}

void FirewallNegotiator::ReadSocks5Reply(FirewallStep& step) {
  while (negotiating_ && reply_.size() >= 2) {
    auto answer = static_cast<uint8_t>(reply_[1]);
    switch (socks5Step_) {
      case Socks5Step::kMethod:
        if (answer == 0) {
          reply_.erase(0, 2);
          if (!SendSocks5Request(step)) return;
        } else if (answer == 2) {
          reply_.erase(0, 2);
          step.send += '\1';
          step.send += static_cast<char>(user_.size());
          step.send += user_;
          step.send += static_cast<char>(password_.size());
          step.send += password_;
          socks5Step_ = Socks5Step::kAuthentication;
        } else if (answer == 255) {
          return Fail(step, "no acceptable firewall authentication methods");
        } else {
          return Fail(step, "unknown firewall authentication method");
        }
        break;
      case Socks5Step::kAuthentication:
        if (answer != 0) return Fail(step, "firewall authentication failed: " + std::to_string(answer));
        reply_.erase(0, 2);
        if (!SendSocks5Request(step)) return;
        break;
      case Socks5Step::kRequest: {
        if (answer != 0) {
          std::string_view text = Socks5ReplyText(answer);
          return Fail(step, text.empty() ? "unknown firewall error: " + std::to_string(answer) : std::string(text));
        }
        // The bound address that ends the reply is as long as its type says.
        if (reply_.size() < 5) return;
        size_t length;
        switch (static_cast<uint8_t>(reply_[3])) {
          case 1: length = 10; break;
          case 3: length = 7 + static_cast<uint8_t>(reply_[4]); break;
          case 4: length = 22; break;
          default:
            return Fail(step, "unknown address type in the firewall reply: " +
                                  std::to_string(static_cast<uint8_t>(reply_[3])));
        }
        if (reply_.size() >= length) Complete(step, length);
        return;
      }
    }
  }
}

bool FirewallNegotiator::SendSocks5Request(FirewallStep& step) {
  std::string request{5, 1, 0};
  if (remoteHost_.starts_with('*')) {
    request += '\3';
    request += static_cast<char>(remoteHost_.size() - 1);
    request.append(remoteHost_, 1);
  } else {
    std::array<uint8_t, 4> address{};
    if (!Resolve(address, step)) return false;
    request += '\1';
    request.append(address.begin(), address.end());
  }
  AppendPort(request, remotePort_);
  step.send += request;
  socks5Step_ = Socks5Step::kRequest;
  return true;
}

bool FirewallNegotiator::Resolve(std::array<uint8_t, 4>& address, FirewallStep& step) {
  int rc = resolve_ ? resolve_(remoteHost_, address) : 11001;
  if (rc == 0) return true;
  Fail(step, "cannot resolve RemoteHost: " + DescriptionForCode(rc, ""));
  return false;
}

void FirewallNegotiator::Complete(FirewallStep& step, size_t replyLength) {
  negotiating_ = false;
  step.outcome = FirewallStep::Outcome::kCompleted;
  step.leftover = reply_.substr(replyLength);
  step.leftoverEndedByTerminator = endedByTerminator_;
  reply_.clear();
}

void FirewallNegotiator::Fail(FirewallStep& step, std::string text) {
  negotiating_ = false;
  step.outcome = FirewallStep::Outcome::kFailed;
  step.code = kErrFirewall;
  step.errorText = std::move(text);
  reply_.clear();
}

}  // namespace rssvane
