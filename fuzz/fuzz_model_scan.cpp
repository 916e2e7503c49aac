// libFuzzer target: the model texture scan.
#include <cstddef>
#include <cstdint>

#include "fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::exerciseModelScan({data, size});
  return 0;
}
