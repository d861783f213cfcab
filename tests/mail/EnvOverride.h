// Sets or clears one environment variable for the lifetime of the object.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace mailtest {

class TEnvOverride {
 public:
  // value nullopt clears the variable.
  TEnvOverride(std::string name, const std::optional<std::string>& value) : Name_(std::move(name)) {
    if (const char* old = std::getenv(Name_.c_str())) Old_ = old;
    Apply(value);
  }
  ~TEnvOverride() { Apply(Old_); }
  TEnvOverride(const TEnvOverride&) = delete;
  TEnvOverride& operator=(const TEnvOverride&) = delete;

 private:
  void Apply(const std::optional<std::string>& value) {
    if (value) setenv(Name_.c_str(), value->c_str(), 1);
    else unsetenv(Name_.c_str());
  }

  std::string Name_;
  std::optional<std::string> Old_;
};

}  // namespace mailtest
