// libFuzzer target: sound bank reading and conversion in memory.
#include <cstddef>
#include <cstdint>

#include "fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::exerciseSoundBank({data, size});
  return 0;
}
