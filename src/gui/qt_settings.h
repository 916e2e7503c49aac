// The settings port on QSettings: the per-user store addressed by application,
// section and key.
#pragma once

#include "app/window_port.h"

namespace gui {

class QtSettings : public app::Settings {
 public:
  std::string get(const std::string& app, const std::string& section, const std::string& key,
                  const std::string& fallback) override;
  void set(const std::string& app, const std::string& section, const std::string& key,
           const std::string& value) override;
};

}  // namespace gui
