// The one-line description of a caught exception that traps and the command line show.
#pragma once

#include <exception>
#include <string>

namespace util {

// "Out of memory" for std::bad_alloc, what() for other standard exceptions,
// "Unknown error" for anything else.
std::string describeException(const std::exception_ptr& error);

}  // namespace util
