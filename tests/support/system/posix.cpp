#include <stdlib.h>
#include <sys/stat.h>

#include "support/system.h"

namespace testing_support {

void setEnvironment(const std::string& name, const std::string& value) {
  if (value.empty())
    ::unsetenv(name.c_str());
  else
    ::setenv(name.c_str(), value.c_str(), 1);
}

bool makePipe(const std::filesystem::path& path) {
  return ::mkfifo(path.c_str(), 0600) == 0;
}

}  // namespace testing_support
