// A Sink that passes bytes on to another sink and fails once a byte budget is spent, to
// prove that writers fail cleanly (no partial output) when the disk fills up.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "mpak/archive_writer.h"

namespace testing_support {

class SinkFull : public std::runtime_error {
 public:
  SinkFull() : std::runtime_error("no space left on the test device") {}
};

class FailingSink : public mpak::Sink {
 public:
  // Accepts `budgetBytes` bytes in all (write and writeAt together), then throws SinkFull
  // from the write that would exceed it; bytes of that write are not passed on.
  FailingSink(mpak::Sink& inner, std::uint64_t budgetBytes)
      : m_inner(inner), m_budget(budgetBytes) {}

  void write(std::span<const std::uint8_t> bytes) override {
    spend(bytes.size());
    m_inner.write(bytes);
  }
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    spend(bytes.size());
    m_inner.writeAt(offset, bytes);
  }
  std::uint64_t position() const override { return m_inner.position(); }

 private:
  void spend(std::uint64_t n) {
    if (n > m_budget)
      throw SinkFull();
    m_budget -= n;
  }

  mpak::Sink& m_inner;
  std::uint64_t m_budget;
};

}  // namespace testing_support
