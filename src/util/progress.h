// The one way a long engine call (extraction, pack, sound bank conversion, package
// unpacking) says how far it got and learns that it should stop.
//
// The engine calls begin(total) once with the number of its steps (entries, files,
// samples; bytes for a stream), then step(done, name) after each step. Before it starts
// the next step it asks cancelled(); when that is true it stops there: what it finished
// stays, nothing partial or temporary is left, and the call throws Cancelled.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace util {

class Progress {
 public:
  virtual ~Progress() = default;
  virtual void begin(std::uint64_t total) { (void)total; }
  // `name` is what the step was (an entry path, a file, a sample); may be empty.
  virtual void step(std::uint64_t done, std::string_view name) {
    (void)done;
    (void)name;
  }
  virtual bool cancelled() { return false; }

  // A progress that shows nothing and never asks to stop.
  static Progress& none() {
    static Progress quiet;
    return quiet;
  }
};

// Thrown by an engine that stopped because it was asked to: `done` of `total` steps were
// finished.
class Cancelled : public std::runtime_error {
 public:
  Cancelled(std::uint64_t done, std::uint64_t total)
      : std::runtime_error("cancelled after " + std::to_string(done) + " of " +
                           std::to_string(total)),
        m_done(done),
        m_total(total) {}
  std::uint64_t done() const { return m_done; }
  std::uint64_t total() const { return m_total; }

 private:
  std::uint64_t m_done, m_total;
};

// For engines, before each step: throws Cancelled when `progress` asks to stop.
inline void stopIfCancelled(Progress& progress, std::uint64_t done, std::uint64_t total) {
  if (progress.cancelled())
    throw Cancelled(done, total);
}

}  // namespace util
