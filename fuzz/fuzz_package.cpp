// libFuzzer target: MPKG unpacking.
#include <cstddef>
#include <cstdint>

#include "fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::exercisePackage({data, size});
  return 0;
}
