// A Sink that passes bytes on and throws SinkFull from the write that would exceed its
// byte budget (write and writeAt together), like a disk filling up.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "mpak/archive_writer.h"

namespace testing_support {

struct SinkFull : std::runtime_error {
  SinkFull() : std::runtime_error("no space left on the test device") {}
};

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
