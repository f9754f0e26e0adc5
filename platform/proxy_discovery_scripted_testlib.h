#pragma once
// Test double of the proxy discovery port: answers with a scripted list text,
// nothing, or a failure (also nothing), and counts the calls.
#include <optional>
#include <string>
#include <string_view>

#include "platform/proxy_discovery.h"

namespace vz {

class ScriptedProxyDiscovery : public ProxyDiscovery {
 public:
  ScriptedProxyDiscovery() = default;
  explicit ScriptedProxyDiscovery(std::u16string list) : answer_(std::move(list)) {}

  void AnswerWith(std::u16string list) { answer_ = std::move(list); }
  void AnswerNothing() { answer_.reset(); }

  std::optional<std::u16string> ProxyListFor(std::string_view url) override {
    ++calls_;
    last_url_ = std::string(url);
    return answer_;
  }

  int calls() const { return calls_; }
  const std::string& last_url() const { return last_url_; }

 private:
  std::optional<std::u16string> answer_;
  int calls_ = 0;
  std::string last_url_;
};

}  // namespace vz
