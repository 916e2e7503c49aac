// libFuzzer target: the TGA image reader the window's image viewer uses.
#include <cstddef>
#include <cstdint>

#include "fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::exerciseTgaImage({data, size});
  return 0;
}
