// The window's Convert .FSB command: the log pane and boxes it leaves, which file in Sounds
// it deletes before converting (never one outside), and the converter's arguments.
#include <sys/stat.h>

#include "app/commands/fsb.h"
#include "bank_bytes.h"
#include "support/command_harness.h"

namespace {

namespace fs = std::filesystem;
using testing_support::crlf;
using testing_support::slurp;

// A converter that records its arguments, adds new.wav to the -d folder, says "bad bank"
// on its standard error and exits with `code`.
std::string fakeConverter(const testing_support::TempDir& dir, int code) {
  const auto path = dir.write("tools/fake converter",
                              "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n"
                              "echo made > \"$2/new.wav\"\necho 'bad bank' >&2\nexit " +
                                  std::to_string(code) + "\n");
  ::chmod(path.c_str(), 0755);
  return path.string();
}

// A bank whose first name field holds `name` (a 56-byte FSB3 start is enough for the window).
std::string bankNamed(const std::string& name) {
  return fsb_tests::buildBank({}, {{.name = name, .data = "pcm!", .frames = 2}});
}

struct Converting : testing_support::CommandHarness {
  Converting() { state.logText = "Earlier line\r\n"; }
  fs::path sounds() const { return state.folders.sounds; }
  void convert(const std::string& bankBytes, int code = 0) {
    state.converterPath = fakeConverter(home, code);
    session.bankPath = home.write("banks/my bank.fsb", bankBytes).string();
    window.items = {"a.dds"};
    session.archive.fileName = "a.mpak";
    app::processFSB(context);
  }
};

TEST(ConvertFsbCommand, SuccessListsTheNewFilesAndPassesPathsAsSingleArguments) {
  Converting h;
  h.convert(bankNamed("tone"));
  EXPECT_EQ(h.window.logPane(), crlf({"Earlier line", "Converting: my bank.fsb", "new.wav",
                                      "Operation complete.", ""}));
  EXPECT_TRUE(h.window.messages.empty());
  EXPECT_TRUE(h.window.items.empty());
  EXPECT_EQ(h.window.text("Label2"), "0 Items");
  EXPECT_FALSE(h.session.archive.loaded());
  EXPECT_EQ(slurp(h.home.path() / "tools/args"),
            "-d\n" + h.sounds().string() + "\n-a\n" + h.session.bankPath + "\n");
}

TEST(ConvertFsbCommand, FailuresEmptyThePaneAndSayWhy) {
  Converting h;
  h.convert(bankNamed("tone"), 3);
  EXPECT_EQ(h.window.logPane(), "");
  EXPECT_EQ(h.state.logText, crlf({"Earlier line", "Converting: my bank.fsb"}));
  ASSERT_EQ(h.window.messages.size(), 1u);
  EXPECT_EQ(h.window.messages[0].icon, app::Icon::None);
  EXPECT_EQ(h.window.messages[0].text,
            "Conversion error (3).\r\nbad bank\r\n\r\nOperation terminated.\r\n");

  Converting missing;
  missing.state.converterPath = (missing.home.path() / "no-such-converter").string();
  missing.session.bankPath = missing.home.write("b.fsb", bankNamed("x")).string();
  app::processFSB(missing.context);
  ASSERT_EQ(missing.window.messages.size(), 1u);
  EXPECT_EQ(missing.window.messages[0].text,
            "Conversion error (-1).\r\nThe converter was not found at " +
                missing.state.converterPath + ".\r\n\r\nOperation terminated.\r\n");

  Converting unreadable;
  unreadable.session.bankPath = (unreadable.home.path() / "gone.fsb").string();
  app::processFSB(unreadable.context);
  ASSERT_EQ(unreadable.window.messages.size(), 1u);
  EXPECT_EQ(unreadable.window.messages[0].icon, app::Icon::Exclamation);
  EXPECT_TRUE(unreadable.window.messages[0].text.starts_with("ProcessFSB error.\r\n\r\n"));
  EXPECT_NE(unreadable.window.messages[0].text.find("gone.fsb"), std::string::npos);
  EXPECT_EQ(unreadable.window.logPane(), "");
}

TEST(ConvertFsbCommand, DeletesOnlyAPlainFileNamedLikeTheFirstSampleInSounds) {
  const std::string thirty(30, 'n');
  struct Case {
    std::string bank;
    std::vector<std::string> deleted;  // relative to the program folder
  } cases[] = {
      {bankNamed("victim.wav"), {"Sounds/victim.wav"}},
      {bankNamed(thirty), {"Sounds/" + thirty}},
      {bankNamed(""), {}},
      {bankNamed("../Library/keep.toc"), {}},
      {bankNamed("..\\Library\\keep.toc"), {}},
      {bankNamed(".."), {}},
      {bankNamed("victim.wav").substr(0, 55), {}},  // too short for the whole name field
  };
  for (const auto& c : cases) {
    Converting h;
    const std::vector<std::string> present = {"Sounds/victim.wav", "Sounds/other.wav",
                                              "Sounds/" + thirty, "Library/keep.toc"};
    for (const auto& file : present)
      h.home.write(file, "x");
    h.convert(c.bank);
    for (const auto& file : present) {
      const bool gone = std::find(c.deleted.begin(), c.deleted.end(), file) != c.deleted.end();
      EXPECT_EQ(fs::exists(h.home.path() / file), !gone) << file;
    }
    EXPECT_TRUE(fs::exists(h.home.path() / "tools/args")) << "the converter still runs";
  }
}

TEST(ConvertFsbCommand, TheRealConverterWritesEverySample) {
  Converting h;
  h.state.converterPath = TARNWICK_FSBEXT;
  h.session.bankPath =
      h.home
          .write("b.fsb", fsb_tests::buildBank(
                              {},
                              {
                                  {.name = "one", .data = "abcd", .frames = 2, .mode = 0x10},
                                  {.name = "two.raw", .data = "vv", .mode = fsb::kModeVag},
                              }))
          .string();
  h.home.write("Sounds/one.wav", "kept");
  app::processFSB(h.context);
  EXPECT_EQ(h.window.logPane(), crlf({"Earlier line", "Converting: b.fsb", "one_1.wav", "two.raw",
                                      "Operation complete.", ""}));
  EXPECT_EQ(slurp(h.sounds() / "one.wav"), "kept");
  EXPECT_EQ(slurp(h.sounds() / "two.raw"), "vv");
}

}  // namespace
