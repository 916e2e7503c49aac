// What tests ask of the system beyond the platform layer, in system/posix.cpp or windows.cpp.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/mapped_file.h"
#include "platform/process.h"

namespace testing_support {

// Sets the environment variable `name` to `value`; an empty value removes it.
void setEnvironment(const std::string& name, const std::string& value);

// Makes a named pipe at `path`; false where the system has none in its file systems.
bool makePipe(const std::filesystem::path& path);

// Whether this system (and user) can make symbolic links; asked once.
inline bool canMakeLinks() {
  static const bool can = [] {
    namespace fs = std::filesystem;
    const auto dir = platform::makeTemporaryFolder("tarnwick-link-probe-");
    std::error_code ec;
    fs::create_symlink("target", dir / "link", ec);
    const bool made = !ec;
    fs::remove_all(dir, ec);
    return made;
  }();
  return can;
}

// Whether a file can be shortened while it is mapped (Windows refuses); asked once.
inline bool canShortenMappedFiles() {
  static const bool can = [] {
    namespace fs = std::filesystem;
    const auto dir = platform::makeTemporaryFolder("tarnwick-map-probe-");
    std::ofstream(dir / "f", std::ios::binary) << std::string(8192, 'x');
    std::error_code ec;
    {
      const platform::MappedFile mapped(dir / "f");
      fs::resize_file(dir / "f", 4096, ec);
    }
    const bool shortened = !ec;
    fs::remove_all(dir, ec);
    return shortened;
  }();
  return can;
}

}  // namespace testing_support
