// libFuzzer target: the library table reader, its look-ups and its field validation.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::exerciseLibraryToc({reinterpret_cast<const char*>(data), size});
  return 0;
}
