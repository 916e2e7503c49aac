// The real window: controls, resizing, the buttons' jobs, empty choosers, one command at a time.
#include <QAbstractItemView>
#include <QClipboard>
#include <QCompleter>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <fstream>
#include <memory>
#include <random>

#include "gui/entry_viewers.h"
#include "gui/form1.h"
#include "platform/temporary.h"
#include "sample_bank.h"
#include "support/archive_builder.h"
#include "support/command_harness.h"

namespace {

using namespace testing_support;

// Pastes `path` in the next chooser, Enter every 200 ms, cancels after 20 s; `seen`: first text.
void typeIntoChooser(gui::Form1& window, const std::string& path, QString* seen = nullptr) {
  auto* timer = new QTimer(&window);
  auto enters = std::make_shared<int>(0);
  // The chooser this call types into; a later one belongs to the next call.
  auto mine = std::make_shared<QPointer<QFileDialog>>();
  QObject::connect(timer, &QTimer::timeout, [timer, path, seen, enters, mine] {
    QFileDialog* dialog = nullptr;  // the chooser or browser open, if any
    for (auto* top : QApplication::topLevelWidgets())
      if (auto* shown = qobject_cast<QFileDialog*>(top); shown && shown->isVisible() && !dialog)
        dialog = shown;
    if (!dialog && *enters == 0)
      return;
    if (*enters == 0)
      *mine = dialog;
    if (dialog != *mine)
      dialog = nullptr;
    if (!dialog || *enters == 100) {
      if (dialog)
        dialog->reject();
      timer->stop();
      timer->deleteLater();
      return;
    }
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    if (*enters == 0 && seen)
      *seen = edit->text();
    // Pasted as one event (typed, the completion list rewrites it); again if an Enter changed it.
    if (edit->text() != QString::fromStdString(path)) {
      QApplication::clipboard()->setText(QString::fromStdString(path));
      edit->setFocus();
      edit->selectAll();
      QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    }
    ++*enters;
    // An open completion list is closed first (Escape in it).
    if (auto* completer = edit->completer(); completer && completer->popup()->isVisible())
      QTest::keyClick(completer->popup(), Qt::Key_Escape);
    QTest::keyClick(edit, Qt::Key_Return);
  });
  timer->start(200);
}

void click(gui::Form1& window, const char* button) {
  QTest::mouseClick(window.findChild<QPushButton*>(button), Qt::LeftButton);
}

// Takes the file manager's place: records the folders the window asks it to open.
class FileManager : public QObject {
  Q_OBJECT
 public:
  QStringList opened;
 public slots:
  void open(const QUrl& url) { opened << url.toLocalFile(); }
};

// A mod's archive: `each` scripts and `each` textures, compressed, and one stored text in
// capitals and "\" folders.
std::filesystem::path writeModArchive(const TempDir& home, int each) {
  std::vector<RawEntry> entries;
  for (int i = 0; i < each; ++i) {
    entries.push_back(compressed("scripts/a" + std::to_string(i) + ".lua",
                                 "print(" + std::to_string(i) + ")\n" + std::string(400, 'x')));
    entries.push_back(compressed("textures/t" + std::to_string(i) + ".tga", std::string(900, 'T')));
  }
  entries.push_back(stored("Data\\Maps\\README.LUA", "-- maps\n"));
  return home.write("in/mod.mpak", buildArchiveBytes(entries));
}

// Runs `act` once, during a command's yields, as soon as `ready` holds.
void once(gui::Form1& window, std::function<bool()> ready, std::function<void()> act) {
  auto* timer = new QTimer(&window);
  QObject::connect(timer, &QTimer::timeout, [timer, ready, act] {
    if (!ready())
      return;
    timer->stop();
    timer->deleteLater();
    act();
  });
  timer->start(0);
}

// Every file below `folder` that is a temporary of an interrupted write.
QStringList temporariesBelow(const std::filesystem::path& folder) {
  QStringList found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (platform::isTemporaryName(entry.path().filename().string()))
      found << QString::fromStdString(entry.path().string());
  return found;
}

std::size_t filesIn(const std::filesystem::path& folder) {
  return std::filesystem::exists(folder) ? filesBelow(folder).size() : 0;
}

// The real window, started in a fresh program folder.
struct StartedWindow {
  TempDir home;
  FakeSettings settings;
  gui::Form1 window{settings};
  StartedWindow() {
    if (!window.start(home.str()))
      qFatal("start-up failed");
  }
};

}  // namespace

class Form1Test : public QObject {
  Q_OBJECT

 private slots:
  // Closes any message box, so a failing command cannot hang the test, and fails with its text.
  void init() {
    m_messages.clear();
    m_timer.setInterval(50);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        m_messages << box->text();
        box->done(QMessageBox::Ok);
      }
    });
    m_timer.start();
  }
  void cleanup() {
    m_timer.stop();
    m_timer.disconnect();
    QVERIFY2(m_messages.isEmpty(), qPrintable("unexpected message: " + m_messages.join(" | ")));
  }

  // Captions and places in twips, written out rather than read from the table; then resizing.
  void controlsShowTheirCaptionsAtTheirPlacesAndFollowResizing() {
    StartedWindow started;
    auto& window = started.window;
    QCOMPARE(window.windowTitle(), QString("Tarnwick  ver-1 build-113"));
    const struct {
      const char* name;
      const char* caption;
      int left, top, width, height;
    } rows[] = {
        {"butSelectAll", "Select All", 5760, 120, 1455, 255},
        {"butSelectMPAKfile", "Open Game .MPAK File", 9360, 840, 1935, 255},
        {"butMassExtract", "Extract Selected File(s)", 9360, 1440, 2055, 375},
        {"butDecompressMPKG", "Unpack .MPKG", 11160, 1920, 1455, 375},
        {"chkCompressAllFiles", "Force compression of all files", 9600, 3960, 2775, 255},
        {"butPackMPAK", "Pack New .MPAK", 9360, 4320, 2055, 375},
        {"butSoundConversionQuestion", "?", 12480, 5040, 255, 255},
        {"Label4", "  Sound File Conversion (.FSB)", 9240, 5040, 3495, 255},
        {"Label3", "Tarnwick", 9240, 6120, 3495, 255},
    };
    for (const auto& row : rows) {
      auto* w = window.findChild<QWidget*>(row.name);
      QVERIFY2(w, row.name);
      QCOMPARE(QString::fromStdString(window.text(row.name)), QString(row.caption));
      const QRect place(w->mapTo(&window, QPoint(0, 0)), w->size());
      QCOMPARE(place, QRect(window.toPixels(row.left), window.toPixels(row.top),
                            window.toPixels(row.width), window.toPixels(row.height)));
    }
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(1200, 900);
    QTest::qWait(20);
    // The option column stays flush right and the log pane reaches down to the bottom.
    QCOMPARE(window.findChild<QWidget*>("Frame1")->geometry().right() + 1, window.width());
    const int logBottom = window.findChild<QWidget*>("RichTextBox1")->geometry().bottom();
    QVERIFY(logBottom < window.height() && logBottom > window.height() - 40);
    // Below the minimum the window snaps back to 12000 x 8460 twips outside.
    window.resize(300, 200);
    QTest::qWait(20);
    QVERIFY(window.frameGeometry().width() >= window.toPixels(12000) - 1);
    QVERIFY(window.frameGeometry().height() >= window.toPixels(8460) - 1);
  }

  // Extracted and packed back, the sample archive is the same bytes; over an edit, one question.
  void theSampleArchiveOpensExtractsAndPacksBackThroughTheButtons() {
    StartedWindow started;
    auto& window = started.window;
    window.openArchive(TARNWICK_SAMPLE_ARCHIVE);
    QCOMPARE(window.text("Label5"), std::string("sample.mpak"));
    QCOMPARE(window.text("Label2"), std::to_string(window.itemCount()) + " Items");
    QVERIFY(window.logPane().starts_with("TOC = x10, "));
    click(window, "butSelectAll");
    QCOMPARE(window.selectedCount(), window.itemCount());
    click(window, "butMassExtract");
    QVERIFY(window.logPane().ends_with("files extracted.\r\nExtraction complete.\r\n"));
    const auto root = started.home.path() / "ExtractedFiles" / "sample.mpak";
    typeIntoChooser(window, root.string());
    click(window, "butSelectMPAKFolder");
    QCOMPARE(window.text("Label13"), std::string("sample.mpak"));
    click(window, "butPackMPAK");
    QVERIFY2(window.logPane().ends_with("STOC entries processed: 2\r\n.MPAK pack complete.\r\n"),
             window.logPane().c_str());
    QCOMPARE(slurp(started.home.path() / "NewMPAKs" / "sample.mpak"),
             slurp(TARNWICK_SAMPLE_ARCHIVE));

    const auto edited = root / filesBelow(root).front();
    std::ofstream(edited, std::ios::binary) << "edited";
    for (const auto key : {Qt::Key_Escape, Qt::Key_Return}) {
      m_timer.stop();
      QString asked;
      QTimer::singleShot(100, [&asked, key] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
          asked = box->text();
          QTest::keyClick(box, key);
        }
      });
      click(window, "butMassExtract");
      m_timer.start();
      QVERIFY2(asked.contains("1 file you changed since extraction would be replaced"),
               qPrintable(asked));
      QCOMPARE(slurp(edited), std::string("edited"));
    }
    QVERIFY2(window.logPane().ends_with("1 files kept (changed since extraction).\r\nExtraction "
                                        "complete.\r\n"),
             window.logPane().c_str());
  }

  // Model, package, help and folder buttons; choosers start empty and leave nothing on screen.
  void theOtherButtonsDoTheirJobsAndChoosersStartEmptyAndLeaveNothingBehind() {
    StartedWindow started;
    auto& window = started.window;
    const auto& home = started.home;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const std::string z(1, '\0');
    const auto model = home.write("in/ship.mmod", z + "hull.tga" + z + "deck.tga");
    // A package: two leading bytes, then raw DEFLATE data ("hello" in one stored block).
    const auto package =
        home.write("in/data.mpkg", std::string("\x78\x9C\x01\x05\x00\xFA\xFFhello", 12));
    QString seen = "not asked";
    typeIntoChooser(window, model.string(), &seen);
    click(window, "butGetModelGraphics");
    QCOMPARE(seen, QString());
    QVERIFY2(window.logPane().starts_with("GRAPHICS FOR MODEL: ship.mmod\r\n\r\nhull.tga\r\n"),
             window.logPane().c_str());
    QTest::qWait(50);
    for (auto* top : QApplication::topLevelWidgets())
      QVERIFY2(top == &window || !top->isVisible(),
               qPrintable("left on screen: " + QString(top->metaObject()->className())));

    typeIntoChooser(window, package.string(), &seen);
    click(window, "butDecompressMPKG");
    QCOMPARE(seen, QString());
    QCOMPARE(slurp(home.path() / "Temp" / "mpkg.dat"), std::string("hello"));
    // The folder browser too starts empty after a file was typed.
    typeIntoChooser(window, (home.path() / "ExtractedFiles").string(), &seen);
    click(window, "butSelectMPAKFolder");
    QCOMPARE(seen, QString());
    QCOMPARE(window.text("Label13"), std::string("ExtractedFiles"));

    home.write("packing_files.txt", "How to pack.\r\n");
    click(window, "butFilePackerQuestion");
    QCOMPARE(window.logPane(), std::string("How to pack.\r\n"));
    FileManager files;
    QDesktopServices::setUrlHandler("file", &files, "open");
    for (const char* button : {"butOpenSoundsFolder", "butOpenNewMPAKsFolder", "butOpenFolder"})
      click(window, button);
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(files.opened, QStringList({QString::fromStdString(home.str() + "/Sounds"),
                                        QString::fromStdString(home.str() + "/NewMPAKs"),
                                        QString::fromStdString(home.str() + "/ExtractedFiles")}));
  }

  // The filter narrows the list as typed; Select All and Extract act on what it shows; keys.
  void theFilterLineFindsEntriesAndTheKeysWork() {
    StartedWindow started;
    auto& window = started.window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const auto archive = writeModArchive(started.home, 300);
    typeIntoChooser(window, archive.string());
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(window.text("Label2"), std::string("601 Items"));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* filter = window.findChild<QLineEdit*>("Text2");
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(filter->hasFocus());
    QTest::keyClicks(filter, "*.LUA");
    QCOMPARE(window.text("Label2"), std::string("301 of 601 Items"));
    QTest::keyClick(filter, Qt::Key_Escape);
    QCOMPARE(filter->text(), QString());
    QCOMPARE(window.text("Label2"), std::string("601 Items"));
    QTest::keyClicks(filter, "maps/read");  // "/" finds "\", any case
    QCOMPARE(window.itemCount(), 1);
    filter->clear();
    QTest::keyClicks(filter, "s\\a1?.lua");
    QCOMPARE(window.text("Label2"), std::string("10 of 601 Items"));

    auto* list = window.findChild<QListView*>("List1");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(window.selectedCount(), 10);
    QTest::keyClick(&window, Qt::Key_E, Qt::ControlModifier);
    QVERIFY2(window.logPane().ends_with("10 files extracted.\r\nExtraction complete.\r\n"),
             window.logPane().c_str());
    const auto written = filesBelow(started.home.path() / "ExtractedFiles" / "mod.mpak");
    QCOMPARE(written.size(), std::size_t{10});
    for (const auto& name : written)
      QVERIFY2(name.starts_with("scripts/a1") && name.ends_with(".lua"), name.c_str());
    // An archive opened with the filter on shows what the filter finds in it.
    window.openArchive(TARNWICK_SAMPLE_ARCHIVE);
    QCOMPARE(window.text("Label2"), std::string("0 of 6 Items"));

    started.home.write("packing_files.txt", "How to pack.\r\n");
    auto* packer = window.findChild<QWidget*>("Shape2");
    QTest::mouseMove(packer, packer->rect().center());
    QTest::keyClick(&window, Qt::Key_F1);
    QCOMPARE(window.logPane(), std::string("How to pack.\r\n"));
    // Ctrl+A in the log pane selects its text to copy, not the list's entries.
    list->clearSelection();
    auto* pane = window.findChild<QPlainTextEdit*>("RichTextBox1");
    pane->setFocus();
    QTest::keyClick(pane, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(pane->textCursor().selectedText(),
             QString("How to pack.") + QChar(QChar::ParagraphSeparator));
    QCOMPARE(window.selectedCount(), 0);
    for (const char* button : {"butSelectMPAKfile", "butSelectAll", "butMassExtract"})
      QVERIFY2(window.findChild<QWidget*>(button)->toolTip().contains("Ctrl+"), button);
  }

  // Extraction, pack, package and sound conversion stop at Escape or Cancel, leave nothing
  // partial or temporary, and end their log with how far they got.
  void longCommandsStopAtCancelOrEscapeAndLeaveNothingStray() {
    StartedWindow started;
    auto& window = started.window;
    const auto& home = started.home.path();
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.openArchive(writeModArchive(started.home, 300).string());
    const auto tree = home / "ExtractedFiles" / "mod.mpak";
    click(window, "butSelectAll");
    click(window, "butMassExtract");
    QCOMPARE(filesIn(tree), std::size_t{601});
    auto* cancel = window.findChild<QPushButton*>("butCancel");
    QVERIFY(!cancel->isEnabled());
    auto stopWith = [&](bool escape) {
      QVERIFY(!window.findChild<QWidget*>("butPackMPAK")->isEnabled());
      QVERIFY(cancel->isEnabled());
      if (escape)
        QTest::keyClick(&window, Qt::Key_Escape);
      else
        click(window, "butCancel");
    };
    auto lastLine = [&] {
      const auto log = QString::fromStdString(window.logPane()).trimmed();
      return log.mid(log.lastIndexOf('\n') + 1);
    };

    // A pack stopped half-way writes no archive: the earlier one stays.
    started.home.write("NewMPAKs/mod.mpak", "the earlier archive");
    typeIntoChooser(window, tree.string());
    click(window, "butSelectMPAKFolder");
    once(
        window, [&] { return window.text("Text1").starts_with("Packing 200/"); },
        [&] { stopWith(false); });
    click(window, "butPackMPAK");
    QVERIFY2(lastLine().startsWith("Pack cancelled after 20"), qPrintable(lastLine()));
    QVERIFY(lastLine().endsWith(" of 601 files: no archive was written."));
    QCOMPARE(slurp(home / "NewMPAKs" / "mod.mpak"), std::string("the earlier archive"));

    // An extraction stopped by Escape keeps the entries it finished, whole.
    std::filesystem::remove_all(tree);
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    once(
        window, [&] { return filesIn(tree) >= 100; }, [&] { stopWith(true); });
    click(window, "butMassExtract");
    const QString extracted = lastLine();
    QVERIFY2(extracted.startsWith("Extraction cancelled after ") &&
                 extracted.endsWith(" of 601 entries."),
             qPrintable(extracted));
    QCOMPARE(QString::number(filesIn(tree)), extracted.section(' ', 3, 3));
    QVERIFY(filesIn(tree) < 601);

    // A package stopped after its first piece leaves no mpkg.dat.
    std::string noise(8 << 20, '\0');
    std::mt19937 random(7);
    for (char& c : noise)
      c = static_cast<char>(random());
    const auto deflated = util::deflateRaw(toBytes(noise), 1);
    const auto package = started.home.write("in/big.mpkg", "xx" + toString(deflated));
    typeIntoChooser(window, package.string());
    once(
        window, [&] { return window.logPane().ends_with(package.string() + "\r\n"); },
        [&] { stopWith(false); });
    click(window, "butDecompressMPKG");
    QVERIFY2(lastLine().startsWith("Unpacking cancelled after "), qPrintable(lastLine()));
    QVERIFY(!std::filesystem::exists(home / "Temp" / "mpkg.dat"));

    // The converter stopped after two sounds: what it finished stays, nothing half-made.
    std::vector<samples::Tone> tones;
    for (int i = 0; i < 30; ++i)
      tones.push_back({.name = "tone" + std::to_string(i), .frames = 1u << 20});
    const auto bank = samples::makeBank(tones);
    const auto bankPath = started.home.write(
        "in/big.fsb", std::string_view(reinterpret_cast<const char*>(bank.data()), bank.size()));
    typeIntoChooser(window, bankPath.string());
    once(
        window, [&] { return filesIn(home / "Sounds") >= 2; }, [&] { stopWith(false); });
    click(window, "butConvertFSB");
    QVERIFY2(lastLine().startsWith("Conversion cancelled after ") &&
                 lastLine().endsWith(" of 30 sounds."),
             qPrintable(lastLine()));
    QCOMPARE(QString::number(filesIn(home / "Sounds")), lastLine().section(' ', 3, 3));
    QVERIFY(filesIn(home / "Sounds") < 30);
    QCOMPARE(temporariesBelow(home), QStringList());
    QVERIFY(!cancel->isEnabled() && window.findChild<QWidget*>("butPackMPAK")->isEnabled());
  }

  // Enter or a double-click shows an entry: text, image, sound bank, or a private copy.
  void openedEntriesShowInViewersAndNothingLandsInTheWorkingFolders() {
    auto started = std::make_unique<StartedWindow>();
    auto& window = started->window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // A 4 x 4 TGA, uncompressed true colour, every pixel red (blue, green, red).
    std::string tga =
        std::string("\0\0\x02", 3) + std::string(9, '\0') + std::string("\x04\0\x04\0\x18\0", 6);
    for (int pixel = 0; pixel < 16; ++pixel)
      tga += std::string("\0\0\xFF", 3);
    const auto bank = samples::makeBank(samples::sampleTones());
    const auto archive = started->home.write(
        "in/view.mpak",
        buildArchiveBytes({compressed("scripts/caf\xE9.lua", "-- caf\xE9\r\nreturn 1\r\n"),
                           stored("textures/flag.TGA", tga),
                           stored("sound/bank1.fsb", std::string(bank.begin(), bank.end())),
                           compressed("data/blob.bin", std::string("\0\1\2binary", 9))}));
    window.openArchive(archive.string());
    const auto before = filesBelow(started->home.path());
    auto* list = window.findChild<QListView*>("List1");
    auto viewer = [&](const char* name) {
      QWidget* found = nullptr;
      for (auto* top : QApplication::topLevelWidgets())
        if (top->objectName() == name && top->isVisible())
          found = top;
      return found;
    };
    auto openRow = [&](int row, bool enter) {
      const auto index = list->model()->index(row, 0);
      window.activateWindow();  // as a user goes back to the list after a viewer opened
      QVERIFY(QTest::qWaitForWindowActive(&window));
      list->setCurrentIndex(index);
      if (enter)
        QTest::keyClick(list, Qt::Key_Return);
      else {  // a press, then the second press of a double-click
        const QPoint at = list->visualRect(index).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
      }
    };

    openRow(0, false);
    QWidget* text = viewer("textViewer");
    QVERIFY(text);
    QCOMPARE(text->findChild<QPlainTextEdit*>()->toPlainText(),
             QString("-- caf\u00e9\nreturn 1\n"));
    QVERIFY(text->windowTitle().startsWith("scripts\\caf\u00e9.lua"));
    openRow(1, true);
    QWidget* image = viewer("imageViewer");
    QVERIFY(image);
    const QImage shown = image->findChild<QLabel*>()->pixmap().toImage();
    QCOMPARE(shown.size(), QSize(4, 4));
    QCOMPARE(shown.pixelColor(0, 0), QColor(Qt::red));
    openRow(2, true);
    auto* sounds = qobject_cast<gui::SoundBankViewer*>(viewer("soundBankViewer"));
    QVERIFY(sounds);
    QCOMPARE(sounds->table()->rowCount(), 3);
    QVERIFY(sounds->table()->item(0, 1)->text().startsWith("PCM16, 2 ch"));
    QVERIFY(sounds->table()->item(0, 2)->text().endsWith(" s"));
    if (!sounds->canPlay()) {
      QVERIFY(sounds->status().contains("no audio output"));
    } else {
      sounds->play();
      QVERIFY2(sounds->status().startsWith("Playing "), qPrintable(sounds->status()));
    }

    FileManager programs;
    QDesktopServices::setUrlHandler("file", &programs, "open");
    openRow(3, true);
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(programs.opened.size(), 1);
    const std::filesystem::path copy = programs.opened.front().toStdString();
    QCOMPARE(copy.filename().string(), std::string("blob.bin"));
    QCOMPARE(slurp(copy), std::string("\0\1\2binary", 9));
    QCOMPARE(filesBelow(started->home.path()), before);
    started.reset();
    QVERIFY(!std::filesystem::exists(copy));
  }

  // Selected entries dragged onto a file manager land there whole; a damaged one stops it.
  void draggedEntriesAreWrittenWholeOrNotAtAll() {
    StartedWindow started;
    auto& window = started.window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const auto archive = started.home.write(
        "in/drag.mpak",
        buildArchiveBytes({compressed("scripts/a.lua", "print('a')"), stored("b.txt", "bee"),
                           compressed("scripts/c.lua", std::string(5000, 'c')),
                           RawEntry{.path = "bad.bin", .stored = "\x07\xFF", .flag = 1}}));
    window.openArchive(archive.string());
    const auto target = started.home.path() / "desktop";
    std::filesystem::create_directory(target);
    QList<QUrl> dragged;
    // The file manager's part of a drop: it copies what the drag names.
    window.runDrag = [&](QMimeData* mime) {
      dragged = mime->urls();
      for (const auto& url : dragged)
        std::filesystem::copy(url.toLocalFile().toStdString(),
                              target / url.fileName().toStdString(),
                              std::filesystem::copy_options::recursive);
    };
    auto* list = window.findChild<QListView*>("List1");
    auto dragRows = [&](std::initializer_list<int> rows) {
      list->clearSelection();
      for (int row : rows)
        list->selectionModel()->select(list->model()->index(row, 0), QItemSelectionModel::Select);
      const QPoint from = list->visualRect(list->model()->index(*rows.begin(), 0)).center();
      QTest::mousePress(list->viewport(), Qt::LeftButton, {}, from);
      QTest::mouseMove(list->viewport(), from + QPoint(30, 15));  // the drag begins
      QTest::mouseMove(list->viewport(), from + QPoint(60, 30));  // and leaves the list
      QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, from + QPoint(60, 30));
    };
    dragRows({0, 1, 2});
    QCOMPARE(dragged.size(), 2);  // the folder scripts and the file b.txt
    using Files = std::map<std::string, std::string>;
    QCOMPARE(contents(target), (Files{{"b.txt", "bee"},
                                      {"scripts/a.lua", "print('a')"},
                                      {"scripts/c.lua", std::string(5000, 'c')}}));
    QVERIFY(filesBelow(started.home.path() / "ExtractedFiles").empty());

    const auto privateFolder = std::filesystem::path(dragged.front().toLocalFile().toStdString())
                                   .parent_path()
                                   .parent_path();
    dragged.clear();
    dragRows({0, 3});
    QCOMPARE(dragged.size(), 0);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.front().contains("bad.bin"), qPrintable(m_messages.front()));
    m_messages.clear();
    QCOMPARE(std::distance(std::filesystem::directory_iterator(privateFolder),
                           std::filesystem::directory_iterator()),
             1);
  }

  void clicksDuringACommandStartNothing() {
    StartedWindow started;
    auto& window = started.window;
    auto* open = window.findChild<QPushButton*>("butSelectMPAKfile");
    // The chooser is a modal dialog: while it is up, the command runs.
    bool sawDisabled = false;
    QTimer::singleShot(100, [&] {
      sawDisabled = window.commandRunning() && !open->isEnabled();
      if (auto* dialog = window.findChild<QDialog*>("CommonDialog1"))
        dialog->reject();
    });
    QTest::mouseClick(open, Qt::LeftButton);
    QVERIFY(sawDisabled);
    QVERIFY(open->isEnabled());
    QVERIFY(!window.commandRunning());
    QCOMPARE(window.text("Label5"), std::string());
  }

 private:
  QTimer m_timer;
  QStringList m_messages;
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
