// Writes the bench corpus into an archive the way another writer would: zlib's DEFLATE at
// level 6 (not the library this program compresses with), every 17th entry twice, every
// 29th three times, every 10th in the STOC. scripts/bench_repack.sh packs it back.
//
//   bench_repack --corpus DIR --archive FILE     (rewritten when older than the corpus)
#include <zlib.h>

#include <cstdlib>
#include <map>

#include "bench_common.h"

namespace {

// Raw DEFLATE (no zlib header or checksum) from zlib at level 6.
std::vector<std::uint8_t> zlibDeflate(std::span<const std::uint8_t> in) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    std::exit(2);
  std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(in.size())));
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (status != Z_STREAM_END)
    std::exit(2);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> args;
  for (int i = 1; i + 1 < argc; i += 2)
    args[argv[i]] = argv[i + 1];
  if (!args.count("--corpus") || !args.count("--archive")) {
    std::cerr << "usage: bench_repack --corpus DIR --archive FILE\n";
    return 2;
  }
  const std::filesystem::path corpus = args["--corpus"], archive = args["--archive"];
  if (!std::filesystem::exists(archive) ||
      std::filesystem::last_write_time(archive) < std::filesystem::last_write_time(corpus))
    bench::packCorpus(corpus, archive, zlibDeflate);
  return 0;
}
