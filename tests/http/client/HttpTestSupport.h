#pragma once

// An HttpClient for tests, with every event written down as one line of
// text in the order fired.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "feed/ConfigString.h"
#include "http/HttpClient.h"
#include "net/ComponentEvents.h"
#include "NetTestSupport.h"

namespace rssvane {

class HttpEvents : public ComponentEvents {
 public:
  std::vector<std::string> lines;
  // Called after each line is added.
  std::function<void(const std::string&)> onEvent;
  // What a Redirect handler answers; unset leaves the proposed answer.
  std::function<bool(bool proposed)> redirectAnswer;

  // The lines that start with prefix.
  std::vector<std::string> Starting(std::string_view prefix) const {
    std::vector<std::string> out;
    for (const std::string& line : lines) {
      if (line.starts_with(prefix)) out.push_back(line);
    }
    return out;
  }
  // The body as the Transfer events carried it.
  std::string body;

  void FireConnected(int16_t& code, std::string& text) override { Add("Connected " + std::to_string(code) + " " + text); }
  void FireConnectionStatus(std::string& event, int16_t& code, std::string&) override {
    Add("ConnectionStatus " + event + " " + std::to_string(code));
  }
  void FireDisconnected(int16_t& code, std::string&) override { Add("Disconnected " + std::to_string(code)); }
  void FireEndTransfer() override { Add("EndTransfer"); }
  void FireError(int16_t& code, std::string& text) override { Add("Error " + std::to_string(code) + " " + text); }
  void FireHeader(std::string& field, std::string& value) override { Add("Header " + field + ": " + value); }
  void FireRedirect(std::string& location, bool& accept) override {
    if (redirectAnswer) accept = redirectAnswer(accept);
    Add("Redirect " + location + " " + (accept ? "1" : "0"));
  }
  void FireSetCookie(std::string& name, std::string& value, std::string& expires, std::string& domain,
                     std::string& path, bool& secure) override {
    Add("SetCookie " + name + "=" + value + " expires=" + expires + " domain=" + domain + " path=" + path +
        (secure ? " secure" : ""));
  }
  void FireStartTransfer() override { Add("StartTransfer"); }
  void FireStatus(std::string& version, int16_t& code, std::string& text) override {
    Add("Status " + version + " " + std::to_string(code) + " " + text);
  }
  void FireTransfer(int32_t& count, std::string& text) override {
    body += text;
    Add("Transfer " + std::to_string(count));
  }

  void Add(std::string line) {
    lines.push_back(std::move(line));
    if (onEvent) onEvent(lines.back());
  }
};

class TestClient : public HttpClient {
 public:
  HttpEvents events;

  TestClient() {
    SetEvents(&events);
    SetTimeoutSeconds(10);
  }

  // A setting of the HTTP layer or below, as the configuration chain offers it.
  int Config(std::string_view text, std::string* answer = nullptr) {
    ConfigSetting setting = ParseConfigString(text);
    ConfigResult result;
    if (!HttpSettings().Configure(setting, result) && !TcpSettings().Configure(setting, result)) return -1;
    if (answer) *answer = result.value;
    return result.code;
  }

  int Get(std::string_view url) { return Request(url, HttpAction::kGet); }
  int Put(std::string_view url, std::string body) { return Request(url, HttpAction::kPut, std::move(body)); }
};

inline std::string Port(int port) { return std::to_string(port); }

// Milliseconds that call takes.
template <typename Call>
long long MsTaken(Call call) {
  auto start = std::chrono::steady_clock::now();
  call();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace rssvane
