#include "mpkg/package.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <memory>

#include "mpak/archive_writer.h"
#include "platform/files.h"
#include "util/byte_reader.h"

namespace mpkg {

namespace {

constexpr std::uint64_t kLeadingBytes = 2;

struct Inflater {
  z_stream stream{};
  Inflater() {
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
      throw std::bad_alloc();
  }
  ~Inflater() { inflateEnd(&stream); }
};

}  // namespace

void inflateBody(const PackageReader& read, std::uint64_t size, const std::string& name,
                 mpak::Sink& out, util::Progress& progress, std::size_t pieceBytes) {
  if (size < kLeadingBytes)
    throw PackageError(name + ": the package is " + std::to_string(size) +
                       (size == 1 ? " byte" : " bytes") +
                       " long, too short for its 2 leading bytes");
  pieceBytes = std::clamp<std::size_t>(pieceBytes, 1, std::numeric_limits<uInt>::max());
  Inflater inflater;
  z_stream& z = inflater.stream;
  // Left uninitialised: only the bytes read or inflated are touched, so a small package
  // does not pay for clearing two whole pieces.
  const std::size_t inputBytes =
      static_cast<std::size_t>(std::min<std::uint64_t>(pieceBytes, size - kLeadingBytes + 1));
  auto input = std::make_unique_for_overwrite<std::uint8_t[]>(inputBytes);
  auto output = std::make_unique_for_overwrite<std::uint8_t[]>(pieceBytes);
  std::uint64_t offset = kLeadingBytes;  // package bytes read so far
  bool end = false;                      // no more package bytes
  progress.begin(size);
  for (;;) {
    if (z.avail_in == 0 && !end) {
      util::stopIfCancelled(progress, offset, size);
      const std::size_t n = read(offset, {input.get(), inputBytes});
      end = n == 0;
      z.next_in = input.get();
      z.avail_in = static_cast<uInt>(n);
      offset += n;
      progress.step(offset, name);
    }
    z.next_out = output.get();
    z.avail_out = static_cast<uInt>(pieceBytes);
    const int status = inflate(&z, Z_NO_FLUSH);
    if (status == Z_DATA_ERROR || status == Z_NEED_DICT)
      throw PackageError(name + ": the data is not valid DEFLATE data at offset " +
                         util::hexOffset(offset - z.avail_in) + " (" + (z.msg ? z.msg : "damaged") +
                         ")");
    if (status == Z_MEM_ERROR)
      throw std::bad_alloc();
    out.write({output.get(), pieceBytes - z.avail_out});
    if (status == Z_STREAM_END)
      return;
    if (status == Z_BUF_ERROR && end)
      throw PackageError(name + ": the data ends at offset " + util::hexOffset(offset) +
                         " before the end of its DEFLATE stream (the package is cut short)");
  }
}

std::uint64_t unpackPackage(const std::filesystem::path& package,
                            const std::filesystem::path& target, util::Progress& progress) {
  platform::File in;
  if (int err = platform::File::openForReading(package, in))
    platform::throwFileError(err, "cannot open", package);
  const std::int64_t size = in.size();
  if (size < 0)
    platform::throwFileError(static_cast<int>(-size), "cannot read", package);
  mpak::FileSink out(target);
  auto read = [&](std::uint64_t offset, std::span<std::uint8_t> buffer) -> std::size_t {
    std::int64_t n = in.readAt(offset, buffer);
    if (n < 0)
      platform::throwFileError(static_cast<int>(-n), "cannot read", package);
    return static_cast<std::size_t>(n);
  };
  inflateBody(read, static_cast<std::uint64_t>(size), platform::utf8(package), out, progress);
  const std::uint64_t written = out.position();
  out.commit();
  return written;
}

}  // namespace mpkg
