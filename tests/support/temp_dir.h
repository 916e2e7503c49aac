// A fresh temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"

namespace testing_support {

struct TempDir {
  TempDir() : m_path(platform::makeTemporaryFolder("tarnwick-test-")) {}
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  std::string str() const { return m_path.string(); }
  // Writes `bytes` to path()/relative, creating folders; returns the full path.
  std::filesystem::path write(std::string_view relative, std::string_view bytes) const {
    auto full = m_path / platform::pathFromUtf8(relative);
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
      throw std::runtime_error("cannot write " + platform::utf8(full));
    return full;
  }

 private:
  std::filesystem::path m_path;
};

// Reads a whole file; "" when it does not exist.
inline std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every file (or link) below `folder`, relative with "/" separators, sorted.
inline std::vector<std::string> filesBelow(const std::filesystem::path& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
       it != std::filesystem::recursive_directory_iterator(); ++it)
    if (!it->is_directory() || it->is_symlink()) {
      const auto name = std::filesystem::relative(it->path(), folder).generic_u8string();
      out.emplace_back(name.begin(), name.end());
    }
  std::sort(out.begin(), out.end());
  return out;
}

// Every file below `folder` with its bytes.
inline std::map<std::string, std::string> contents(const std::filesystem::path& folder) {
  std::map<std::string, std::string> out;
  for (const auto& f : filesBelow(folder))
    out[f] = slurp(folder / platform::pathFromUtf8(f));
  return out;
}

}  // namespace testing_support
