// What the commands share (traps, choosers, help, folder openers), start-up and the layout rules.
#include <stdexcept>

#include "app/commands/help_and_folders.h"
#include "app/commands/open_entry.h"
#include "app/form_design.h"
#include "app/layout.h"
#include "app/shell.h"
#include "platform/temporary.h"
#include "support/checks.h"
#include "support/command_harness.h"
#include "support/system.h"

namespace {

using namespace testing_support;

struct ShellFixture : ::testing::Test, CommandHarness {};

TEST_F(ShellFixture, TrapsShowTheOperationMessageAnEmptyLineAndTheDescription) {
  const std::pair<std::function<void()>, const char*> rows[] = {
      {[] { throw std::runtime_error("disk full"); }, "disk full"},
      {[] { throw std::bad_alloc(); }, "Out of memory"},
      {[] { throw 42; }, "Unknown error"},
  };
  for (const auto& [fail, description] : rows) {
    window.messages.clear();
    window.setBusy(true);
    EXPECT_FALSE(app::runTrapped(shell, "Extract error.", fail));
    EXPECT_EQ(
        window.messages,
        (Messages{{app::Icon::Exclamation, std::string("Extract error.\r\n\r\n") + description}}));
    EXPECT_FALSE(window.busy) << "the trap restores the pointer";
  }
  EXPECT_TRUE(app::runTrapped(shell, "Extract error.", [] {}));
}

TEST_F(ShellFixture, ChooserOpensInTheRememberedFolderAndStoresTheNewOne) {
  state.programFolder = "/opt/tarnwick";
  // First run: nothing stored, the chooser opens in the program folder.
  window.fileAnswers.push_back(std::string("/data/games/x/ui.mpak"));
  EXPECT_EQ(app::ChooseInputFile(window, settings, state, "Select File [.mpak]", "*.mpak"),
            "/data/games/x/ui.mpak");
  EXPECT_EQ(window.chooserCalls[0].initialFolder, "/opt/tarnwick");
  EXPECT_EQ(settings.values["Tarnwick/Preferences/OpenFilePath"], "/data/games/x");
  // The choosers share the folder; a cancel changes nothing.
  window.fileAnswers.push_back(std::nullopt);
  EXPECT_FALSE(app::ChooseInputFile(window, settings, state, "Select File [.fsb]", "*.fsb"));
  EXPECT_EQ(window.chooserCalls[1].initialFolder, "/data/games/x");
  EXPECT_EQ(settings.values["Tarnwick/Preferences/OpenFilePath"], "/data/games/x");
  // Drive roots, folders with blanks and "\" separators.
  for (const auto& [path, folder] : {std::pair{"C:\\a.mpak", "C:"},
                                     {"D:\\x\\y\\b.fsb", "D:\\x\\y"},
                                     {"/a.mpak", "/"},
                                     {"/x/y z/c.mmod", "/x/y z"}})
    EXPECT_EQ(app::rememberedFolderOf(path), folder) << path;
}

// Help replaces the pane (caret at the start), not the log; openers say which folder failed.
TEST_F(ShellFixture, HelpTextsReplaceThePaneAndFolderOpenersOpenTheirFolderOrSaySo) {
  home.write("packing_files.txt", "PACKING\r\nFeld \xFC\r\n");
  window.log = state.logText = "the log\r\n";
  app::butFilePackerQuestion_Click(context);
  EXPECT_EQ(window.log, "PACKING\r\nFeld \xC3\xBC\r\n");
  EXPECT_FALSE(window.caretEnd);
  app::butFileExtractorQuestion_Click(context);  // no such file: an empty pane
  EXPECT_EQ(window.log, "");
  EXPECT_EQ(state.logText, "the log\r\n");

  // Folders named as the system names them ("\\" between names on Windows).
  auto in = [&](const fs::path& relative) {
    return (home.path() / relative).make_preferred().string();
  };
  const std::string extracted = in("ExtractedFiles");
  app::butOpenFolder_Click(context);  // no archive loaded
  session.archive.fileName = "ui.mpak";
  app::butOpenFolder_Click(context);  // loaded, nothing extracted yet
  home.write("ExtractedFiles/ui.mpak/a.txt", "a");
  app::butOpenFolder_Click(context);
  app::butOpenNewMPAKsFolder_Click(context);
  app::butOpenSoundsFolder_Click(context);
  EXPECT_EQ(window.openedFolders, (Strings{extracted, extracted, in("ExtractedFiles/ui.mpak"),
                                           in("NewMPAKs"), in("Sounds")}));
  EXPECT_EQ(window.messages, Messages{});
  window.fileManagerWorks = false;
  app::butOpenSoundsFolder_Click(context);
  const std::string refused = "No file manager could be started to open the folder " + in("Sounds");
  EXPECT_EQ(window.messages, (Messages{{app::Icon::Information, refused + "."}}));
}

// A folder that cannot be made is passed over; Temp's sub-folders and other folders' files stay.
TEST(Startup, MakesTheWorkingFoldersEmptiesTempClearsTheWindowAndFindsTheProgramFolder) {
  TempDir home;
  home.write("NewMPAKs", "not a folder");
  home.write("Temp/old.gz", "x");
  home.write("Temp/nested/keep.bin", "k");
  home.write("Library/ui.mpak.toc", "edited");
  FakeWindow window;
  window.texts["Text1"] = "Text1";
  window.log = "old";
  app::AppState state;
  ASSERT_TRUE(app::Startup(window, state, home.str()));
  for (auto name : {"ExtractedFiles", "Temp", "Library", "Sounds"})
    EXPECT_TRUE(fs::is_directory(home.path() / name)) << name;
  EXPECT_EQ(window.messages, Messages{});
  EXPECT_EQ(contents(home.path() / "Temp"), (Files{{"nested/keep.bin", "k"}}));
  EXPECT_EQ(slurp(home.path() / "Library/ui.mpak.toc"), "edited");
  EXPECT_EQ(window.text("Form1"), "Tarnwick  ver-1 build-113");
  EXPECT_EQ(window.text("Text1"), "");
  EXPECT_EQ(window.log, "");

  testing_support::setEnvironment("TARNWICK_HOME", home.str() + "/");  // overrides the executable's
  EXPECT_EQ(app::programFolder(), home.str());
  testing_support::setEnvironment("TARNWICK_HOME", "");
  // Without it, the folder beside the executable, where the build put the help texts.
  EXPECT_TRUE(fs::exists(fs::path(app::programFolder()) / "extracting_files.txt"));
}

TEST(Startup, FailureBeforeTheFoldersEndsTheProgramWithTheCriticalMessage) {
  struct BrokenWindow : FakeWindow {  // cannot take its title
    void setText(std::string_view control, const std::string& text) override {
      if (control == "Form1")
        throw std::runtime_error("no title");
      FakeWindow::setText(control, text);
    }
  } window;
  TempDir home;
  app::AppState state;
  EXPECT_FALSE(app::Startup(window, state, home.str()));
  EXPECT_EQ(window.messages,
            (Messages{{app::Icon::Critical,
                       "Initialization error.\r\n\r\nno title\r\n\r\nTerminating."}}));
  EXPECT_FALSE(fs::exists(home.path() / "Temp"));
}

// A frame of 120 x 510 twips around the client area.
struct FakeLayout : app::LayoutPort {
  FakeLayout(double w, double h) : clientW(w), clientH(h) {
    for (const auto& c : app::formDesign())
      rects[std::string(c.name)] = {double(c.left), double(c.top), double(c.width),
                                    double(c.height)};
  }
  app::WindowState windowState() const override { return state; }
  double outerWidth() const override { return clientW + 120; }
  double outerHeight() const override { return clientH + 510; }
  double clientWidth() const override { return clientW; }
  double clientHeight() const override { return clientH; }
  void setOuterWidth(double twips) override { clientW = twips - 120; }
  void setOuterHeight(double twips) override { clientH = twips - 510; }
  app::Rect rect(std::string_view c) const override { return rects.at(std::string(c)); }
  void setRect(std::string_view c, const app::Rect& r) override {
    rects[std::string(c)] = r;
    ++writes;
  }
  app::WindowState state = app::WindowState::Normal;
  int writes = 0;
  double clientW, clientH;
  std::map<std::string, app::Rect> rects;
};

TEST(Layout, PanesFillWindowsOfEverySizeTooSmallSnapsBackAndMinimizedIsLeftAlone) {
  auto right = [](const app::Rect& r) { return r.left + r.width; };
  auto bottom = [](const app::Rect& r) { return r.top + r.height; };
  // Client size, then the outer size after the layout.
  const double rows[][4] = {{12870, 7950, 12990, 8460},   {20000, 15000, 20120, 15510},
                            {14000, 30000, 14120, 30510}, {5000, 3000, 12000, 8460},
                            {5000, 9000, 12000, 9510},    {20000, 100, 20120, 8460}};
  for (const auto& [w, h, outerW, outerH] : rows) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    FakeLayout window(w, h);
    app::Form_Resize(window);
    EXPECT_DOUBLE_EQ(window.outerWidth(), outerW);
    EXPECT_DOUBLE_EQ(window.outerHeight(), outerH);
    // The panes fill the window left of the option frame, top to bottom, without overlapping.
    const auto frame = window.rect("Frame1"), list = window.rect("List1"),
               text = window.rect("Text1"), log = window.rect("RichTextBox1");
    EXPECT_LT(right(frame), window.clientW + 1);
    EXPECT_GT(right(frame), window.clientW - 240);
    for (const auto& pane : {list, text, log}) {
      EXPECT_LE(right(pane), frame.left);
      EXPECT_GT(pane.width, 0);
    }
    EXPECT_GT(text.top, bottom(list));
    EXPECT_GT(log.top, bottom(text));
    EXPECT_LT(bottom(log), window.clientH);
    EXPECT_GT(bottom(log), window.clientH - 240);
    EXPECT_LE(right(window.rect("Label2")), right(list));
  }
  FakeLayout minimized(5000, 3000);  // is left alone
  minimized.state = app::WindowState::Minimized;
  app::Form_Resize(minimized);
  EXPECT_EQ(minimized.writes, 0);
  EXPECT_DOUBLE_EQ(minimized.outerWidth(), 5120);
}

}  // namespace

// A window ended by a kill cannot remove its private folder; the next window to make one
// removes it, and keeps those of windows still running.
TEST(PrivateFolder, FoldersOfEndedProcessesGoAndThoseOfRunningOnesStay) {
  const fs::path temp = fs::temp_directory_path();
  const fs::path ended = temp / "tarnwick-private-2147483000-left";
  fs::create_directories(ended / "drag-1");
  std::ofstream(ended / "drag-1" / "a.lua") << "left behind";
  const fs::path first = app::makePrivateFolder();
  EXPECT_FALSE(fs::exists(ended));
  EXPECT_EQ(first.filename().string().rfind(
                "tarnwick-private-" + std::to_string(platform::processId()) + "-", 0),
            0u);
  const fs::path second = app::makePrivateFolder();
  EXPECT_TRUE(fs::is_directory(first));
  EXPECT_NE(first, second);
  fs::remove_all(first);
  fs::remove_all(second);
}
