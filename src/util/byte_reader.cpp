#include "util/byte_reader.h"

#include <cstdio>

namespace util {

std::string hexOffset(std::uint64_t offset) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(offset));
  return buf;
}

void ByteReader::require(std::uint64_t offset, std::uint64_t count, std::string_view what) const {
  if (fits(offset, count))
    return;
  throw RangeError(std::string(what) + " at offset " + hexOffset(offset) + " (" +
                   std::to_string(count) + " bytes) runs past the end of the file (" +
                   std::to_string(m_bytes.size()) + " bytes)");
}

}  // namespace util
