// Process-wide memory behaviour for the programs (not for libraries).
#pragma once

namespace util {

// Buffers of 1 MiB and more (whole files being packed or extracted) are mapped from the
// system for themselves and given back when freed, and all threads share one allocator
// pool, so the process holds about what it uses and peak memory follows the in-flight
// bounds of packing and extraction.
void returnLargeBuffersToTheSystem();

}  // namespace util
