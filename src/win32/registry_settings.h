// The settings store in the registry: application, section and key become the value
// HKEY_CURRENT_USER\Software\<application>\<section>\<key>, a string.
#pragma once

#include "app/window_port.h"

namespace win32 {

class RegistrySettings : public app::Settings {
 public:
  std::string get(const std::string& app, const std::string& section, const std::string& key,
                  const std::string& fallback) override;
  void set(const std::string& app, const std::string& section, const std::string& key,
           const std::string& value) override;
};

}  // namespace win32
