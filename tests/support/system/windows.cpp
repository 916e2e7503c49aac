#include <stdlib.h>

#include "support/system.h"

namespace testing_support {

void setEnvironment(const std::string& name, const std::string& value) {
  const std::wstring wideName(name.begin(), name.end());  // ASCII names
  const auto wideValue = std::filesystem::path(std::u8string(value.begin(), value.end())).wstring();
  ::_wputenv_s(wideName.c_str(), wideValue.c_str());
}

bool makePipe(const std::filesystem::path&) {
  return false;
}

}  // namespace testing_support
