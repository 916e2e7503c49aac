// MPKG packages: two leading bytes, then raw DEFLATE data to the end of the file (a zlib
// stream without its first two bytes; whatever follows the end of the DEFLATE data, such
// as the zlib checksum, is not read).
//
// Unpacking streams: the inflated size is not known in advance, so the package is read
// and inflated in pieces of kChunkBytes and written through a temporary file beside the
// target that replaces it only when the whole stream has been inflated. Memory stays at
// about two pieces and zlib's 32 KiB window, whatever the package's size.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>

#include "mpak/archive_writer.h"
#include "util/progress.h"

namespace mpkg {

inline constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

// A package that cannot be unpacked; the text says what is wrong and where ("the data is
// not valid DEFLATE data at offset 0x1F4 (invalid block type)").
class PackageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads up to buffer.size() package bytes at `offset`; 0 at the end of the package.
using PackageReader =
    std::function<std::size_t(std::uint64_t offset, std::span<std::uint8_t> buffer)>;

// The package's body inflated into `out`: `read` gives the package's `size` bytes, read
// and inflated in pieces of `pieceBytes`. Progress counts package bytes read: one step a
// piece, and a cancel stops before the next piece is read. Throws as unpackPackage does,
// naming the package as `name`.
void inflateBody(const PackageReader& read, std::uint64_t size, const std::string& name,
                 mpak::Sink& out, util::Progress& progress = util::Progress::none(),
                 std::size_t pieceBytes = kChunkBytes);

// Inflates the body of `package` into `target`. Returns the bytes written. Throws
// PackageError for a package under 2 bytes, data that is not DEFLATE and data that ends
// before its final block; std::system_error naming the file for I/O failures;
// util::Cancelled when `progress` asks to stop. On any failure `target` stays as it was
// and no temporary file remains.
std::uint64_t unpackPackage(const std::filesystem::path& package,
                            const std::filesystem::path& target,
                            util::Progress& progress = util::Progress::none());

}  // namespace mpkg
