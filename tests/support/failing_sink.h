// A sink that fails part way, like a full disk.
#pragma once

#include <cstdint>
#include <span>

#include "mpak/archive_writer.h"

namespace testing_support {

struct SinkFull {};  // what a FailingSink throws

// Passes bytes on until a write would pass its byte budget, then throws SinkFull, like a full disk.
struct FailingSink : mpak::Sink {
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
