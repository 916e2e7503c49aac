// libFuzzer target: the archive index reader and what the load command builds from it.
#include <cstddef>
#include <cstdint>

#include "fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::exerciseArchiveReader({data, size});
  return 0;
}
