// Property: `tarnwick-cli textures` lists a model's textures and, with --archive, which of
// them the archive lacks (letter case, separators and, for bare names, folders ignored).
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace {

TEST(TexturesCommand, MarksEachTexturePresentOrMissing) {
  testing_support::TempDir dir;
  const std::string z(1, '\0');
  const auto model = dir.write("ship.mmod", z + "textures\\Hull.tga" + z + "deck.TGA" + z +
                                                "sail.tga" + z + "textures\\Hull.tga")
                         .string();
  const auto archive =
      dir.write("ui.mpak",
                testing_support::buildArchiveBytes({{.path = "TEXTURES/hull.tga", .stored = "h"},
                                                    {.path = "ships/deck.tga", .stored = "d"}}))
          .string();
  auto run = [](std::vector<std::string> args) {
    std::ostringstream out, err;
    cli::Io io{out, err, false};
    int code = cli::runCli(args, io);
    return std::tuple{code, out.str(), err.str()};
  };

  auto [code, out, err] = run({"textures", model});
  EXPECT_EQ(code, 0) << err;
  EXPECT_EQ(out, "textures\\Hull.tga\ndeck.TGA\nsail.tga\n");

  std::tie(code, out, err) = run({"textures", model, "--archive", archive});
  EXPECT_EQ(code, 1);
  EXPECT_EQ(out,
            "present  textures\\Hull.tga\n"
            "present  deck.TGA  (ships\\deck.tga)\n"
            "missing  sail.tga\n");
  EXPECT_EQ(err, "tarnwick-cli: " + archive + " lacks 1 of the 3 textures\n");

  std::tie(code, out, err) = run({"textures", model, "--archive", archive, "--json"});
  EXPECT_NE(out.find(R"({"name": "sail.tga", "entry": null})"), std::string::npos) << out;
}

}  // namespace
