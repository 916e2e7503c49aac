// A package unpacks byte for byte; a damaged one says what is wrong and leaves no mpkg.dat.
#include <zlib.h>

#include <algorithm>

#include "app/commands/mpkg.h"
#include "mpkg/package.h"
#include "support/archive_builder.h"
#include "support/checks.h"
#include "support/command_harness.h"

namespace {

using namespace testing_support;

// What the game's packages hold: zlib's compress output, header and checksum kept.
std::string packageOf(const std::string& content) {
  uLongf size = compressBound(content.size());
  std::string out(size, '\0');
  EXPECT_EQ(compress(reinterpret_cast<Bytef*>(out.data()), &size,
                     reinterpret_cast<const Bytef*>(content.data()), content.size()),
            Z_OK);
  out.resize(size);
  return out;
}

// Pieces of any size give the same output; a cancel stops before the next, leaving nothing.
TEST(Package, UnpacksToTheFileItWasMadeFromRefusesDamageAndStopsWhenAsked) {
  TempDir dir;
  std::string content;
  for (int i = 0; i < 300000; ++i)
    content += static_cast<char>("mpkg data "[i % 10] + (i % 7 == 0 ? i % 50 : 0));
  const std::string package = packageOf(content);
  const auto out = dir.path() / "out.dat";
  EXPECT_EQ(mpkg::unpackPackage(dir.write("good.mpkg", package), out), content.size());
  EXPECT_EQ(slurp(out), content);
  for (const auto& [bytes, message] :
       {std::pair<std::string, std::string>{package.substr(0, package.size() / 2),
                                            "before the end of its DEFLATE stream"},
        {"xx\xFF\xFF\xFF\xFF garbage", "not valid DEFLATE data at offset 0x3 (invalid block type)"},
        {"x", "the package is 1 byte long, too short"}}) {
    const auto path = dir.write("bad.mpkg", bytes);
    EXPECT_HAS(thrown<mpkg::PackageError>([&] { mpkg::unpackPackage(path, out); }), message);
    EXPECT_EQ(slurp(out), content) << "replaced";
  }
  for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{4096}}) {
    mpak::MemorySink sink;
    auto read = [&](std::uint64_t offset, std::span<std::uint8_t> buffer) {
      const std::size_t n = std::min<std::size_t>(buffer.size(), package.size() - offset);
      std::copy_n(package.begin() + static_cast<std::ptrdiff_t>(offset), n, buffer.begin());
      return n;
    };
    mpkg::inflateBody(read, package.size(), "p", sink, util::Progress::none(), piece);
    EXPECT_EQ(toString(sink.bytes()), content) << piece;
  }
  const auto big = dir.write("big.mpkg", packageOf(noise(3 << 20)));
  CancelAfter progress(1);
  const auto size = fs::file_size(big);
  EXPECT_EQ(
      thrown<util::Cancelled>([&] { mpkg::unpackPackage(big, out, progress); }),
      "cancelled after " + std::to_string(2 + mpkg::kChunkBytes) + " of " + std::to_string(size));
  EXPECT_EQ(progress.total, size);
  EXPECT_EQ(progress.dones, std::vector<std::uint64_t>{2 + mpkg::kChunkBytes});
  EXPECT_EQ(slurp(out), content);
  EXPECT_EQ(filesBelow(dir.path()), (Strings{"bad.mpkg", "big.mpkg", "good.mpkg", "out.dat"}));
}

TEST(PackageCommand, ResetsTheViewAndReportsTheResultOrTheFault) {
  CommandHarness h;
  h.session.archive.fileName = "ui.mpak";
  h.window.setText("Label5", "ui.mpak");
  h.window.addItems({"an item"});
  h.state.logText = "earlier\r\n";
  const auto good = h.home.write("in/data.mpkg", packageOf("unpacked bytes"));
  h.window.fileAnswers.push_back(good.string());
  app::butDecompressMPKG_Click(h.context);
  const auto dat = h.home.path() / "Temp" / "mpkg.dat";
  EXPECT_EQ(slurp(dat), "unpacked bytes");
  EXPECT_EQ(h.window.chooserCalls.at(0).title, "Select File [.mpkg]");
  EXPECT_EQ(h.window.chooserCalls.at(0).filter, ".mpkg type files (*.mpkg)|*.mpkg");
  EXPECT_EQ(h.window.log, "earlier\r\nUnzipping: " + good.string() + "\r\n14 bytes written to " +
                              dat.string() + ".\r\n");
  EXPECT_TRUE(h.window.items.empty());
  EXPECT_EQ(h.window.text("Label5"), "");
  EXPECT_FALSE(h.session.archive.loaded());

  h.session.packagePath = h.home.write("in/cut.mpkg", "xx\x4b").string();
  app::processMPKG(h.context);
  ASSERT_EQ(h.window.messages.size(), 1u);
  EXPECT_EQ(h.window.messages[0].icon, app::Icon::Exclamation);
  EXPECT_TRUE(h.window.messages[0].text.starts_with("processMPKG error.\r\n\r\n" +
                                                    h.session.packagePath + ": the data ends"))
      << h.window.messages[0].text;
  EXPECT_FALSE(fs::exists(dat)) << "the earlier package's mpkg.dat is gone";
  EXPECT_EQ(h.window.log, "");
  EXPECT_FALSE(h.window.busy);
}

}  // namespace
