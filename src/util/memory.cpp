#include "util/memory.h"

#include <malloc.h>

namespace util {

void returnLargeBuffersToTheSystem() {
  // A fixed threshold also stops the allocator from raising it after the first large free.
  ::mallopt(M_MMAP_THRESHOLD, 4 << 20);
}

}  // namespace util
