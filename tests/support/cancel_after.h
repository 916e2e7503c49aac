// A progress that asks the engine to stop once it has seen `steps` steps, and records
// what the engine told it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "util/progress.h"

namespace testing_support {

class CancelAfter : public util::Progress {
 public:
  explicit CancelAfter(std::uint64_t steps) : m_steps(steps) {}
  void begin(std::uint64_t count) override { total = count; }
  void step(std::uint64_t done, std::string_view name) override {
    dones.push_back(done);
    names.emplace_back(name);
  }
  bool cancelled() override { return dones.size() >= m_steps; }

  std::uint64_t total = 0;
  std::vector<std::uint64_t> dones;
  std::vector<std::string> names;

 private:
  std::uint64_t m_steps;
};

}  // namespace testing_support
