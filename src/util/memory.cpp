#include "util/memory.h"

#include <malloc.h>

namespace util {

void returnLargeBuffersToTheSystem() {
  // A fixed threshold also stops the allocator from raising it after the first large free.
  ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
  // Buffers are allocated on worker threads and freed on the writing thread: one pool for
  // all threads reuses what was freed instead of growing a pool per thread.
  ::mallopt(M_ARENA_MAX, 1);
}

}  // namespace util
