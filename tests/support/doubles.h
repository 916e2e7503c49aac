// Stand-ins the engines report to and write through.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "mpak/archive_writer.h"
#include "util/progress.h"

namespace testing_support {

// A progress that asks the engine to stop once it has seen `steps` steps; records what it hears.
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

struct SinkFull : std::runtime_error {
  SinkFull() : std::runtime_error("no space left on the test device") {}
};

// A sink that passes bytes on and throws SinkFull from the write (or writeAt) that would exceed
// its byte budget, like a disk filling up.
class FailingSink : public mpak::Sink {
 public:
  FailingSink(mpak::Sink& inner, std::uint64_t budget) : m_inner(inner), m_budget(budget) {}
  void write(std::span<const std::uint8_t> bytes) override { m_inner.write(spend(bytes)); }
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    m_inner.writeAt(offset, spend(bytes));
  }
  std::uint64_t position() const override { return m_inner.position(); }

 private:
  std::span<const std::uint8_t> spend(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > m_budget)
      throw SinkFull();
    m_budget -= bytes.size();
    return bytes;
  }
  mpak::Sink& m_inner;
  std::uint64_t m_budget;
};

}  // namespace testing_support
