// What the benchmarks share: settings that stay in memory and the median of the runs.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "app/window_port.h"

namespace bench {

// Settings kept in memory: a benchmark leaves the user's settings alone.
class MemorySettings : public app::Settings {
 public:
  std::string get(const std::string&, const std::string&, const std::string&,
                  const std::string& fallback) override {
    return fallback;
  }
  void set(const std::string&, const std::string&, const std::string&,
           const std::string&) override {}
};

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace bench
