// What tests ask of the system beyond the platform layer: one implementation per system
// (system/posix.cpp, system/windows.cpp), chosen by the build.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

// Sets the environment variable `name` to `value`; an empty value removes it.
void setEnvironment(const std::string& name, const std::string& value);

// Makes a named pipe at `path`; false where the system has none in its file systems.
bool makePipe(const std::filesystem::path& path);

}  // namespace testing_support
