// The real window, offscreen: every control exists under its name with its caption and
// designed place, the title is right, resizing keeps the panes in order, opening the
// sample archive fills the list, and a click during a running command starts nothing.
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "app/form_design.h"
#include "gui/form1.h"
#include "support/fake_window.h"
#include "support/temp_dir.h"

// Closes any message box that comes up, so a failing command cannot hang the test, and
// keeps its text for the test to check.
class MessageCatcher : public QObject {
 public:
  MessageCatcher() {
    m_timer.setInterval(50);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts << box->text();
        box->done(QMessageBox::Ok);
      }
    });
    m_timer.start();
  }
  QStringList texts;

 private:
  QTimer m_timer;
};

// The real window, started in a fresh program folder.
struct StartedWindow {
  testing_support::TempDir home;
  testing_support::FakeSettings settings;
  gui::Form1 window{settings};
  StartedWindow() {
    if (!window.start(home.str()))
      qFatal("start-up failed");
  }
};

class Form1Test : public QObject {
  Q_OBJECT

 private slots:
  void init() { m_messages = std::make_unique<MessageCatcher>(); }
  void cleanup() {
    QVERIFY2(m_messages->texts.isEmpty(),
             qPrintable("unexpected message: " + m_messages->texts.join(" | ")));
    m_messages.reset();
  }

  void everyControlHasItsNameCaptionAndDesignedPlace() {
    StartedWindow started;
    auto& home = started.home;
    auto& window = started.window;
    QCOMPARE(window.windowTitle(), QString("Tarnwick  ver-1 build-113"));

    for (const auto& d : app::formDesign()) {
      const QString name = QString::fromUtf8(d.name.data(), static_cast<int>(d.name.size()));
      auto* w = window.findChild<QWidget*>(name);
      QVERIFY2(w, qPrintable("missing control " + name));
      const QString caption =
          QString::fromUtf8(d.caption.data(), static_cast<int>(d.caption.size()));
      if (auto* button = qobject_cast<QAbstractButton*>(w))
        QCOMPARE(button->text(), caption);
      if (auto* label = qobject_cast<QLabel*>(w); label && d.kind == app::ControlKind::Label)
        QCOMPARE(label->text(), caption);
      if (auto* group = qobject_cast<QGroupBox*>(w))
        QCOMPARE(group->title(), caption);
      // Controls the layout never moves stay where they were designed.
      const bool laidOut = d.name == "List1" || d.name == "Text1" || d.name == "RichTextBox1" ||
                           d.name == "Frame1" || d.name == "Label2" || d.name == "Label9";
      if (!laidOut) {
        QCOMPARE(w->x(), window.toPixels(d.left));
        QCOMPARE(w->y(), window.toPixels(d.top));
        QCOMPARE(w->width(), window.toPixels(d.width));
        QCOMPARE(w->height(), window.toPixels(d.height));
      }
      QCOMPARE(w->parentWidget()->objectName(),
               QString::fromUtf8(d.parent.data(), static_cast<int>(d.parent.size())));
    }
    QVERIFY(window.findChild<QObject*>("CommonDialog1"));
    QCOMPARE(window.text("Text1"), std::string());
    QVERIFY(std::filesystem::is_directory(home.path() / "Temp"));
  }

  void resizingFollowsTheLayoutRules() {
    StartedWindow started;
    auto& window = started.window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (QSize size : {QSize(1200, 900), QSize(1000, 700)}) {
      window.resize(size);
      QTest::qWait(20);
      auto* frame = window.findChild<QWidget*>("Frame1");
      auto* list = window.findChild<QWidget*>("List1");
      auto* text = window.findChild<QWidget*>("Text1");
      auto* log = window.findChild<QWidget*>("RichTextBox1");
      QCOMPARE(frame->geometry().right() + 1, window.width());
      QVERIFY(list->geometry().right() < frame->x());
      QVERIFY(text->y() > list->geometry().bottom());
      QVERIFY(log->y() > text->geometry().bottom());
      QVERIFY(log->geometry().bottom() < window.height());
    }
    // Below the minimum the window snaps back to 12000 x 8460 twips outside.
    window.resize(300, 200);
    QTest::qWait(20);
    QVERIFY(window.frameGeometry().width() >= window.toPixels(12000) - 1);
    QVERIFY(window.frameGeometry().height() >= window.toPixels(8460) - 1);
  }

  void openingTheSampleArchiveFillsTheList() {
    StartedWindow started;
    auto& home = started.home;
    auto& window = started.window;
    window.openArchive(TARNWICK_SAMPLE_ARCHIVE);
    QCOMPARE(window.text("Label5"), std::string("sample.mpak"));
    QVERIFY(window.itemCount() > 0);
    QCOMPARE(window.text("Label2"), std::to_string(window.itemCount()) + " Items");
    QVERIFY(window.logPane().starts_with("TOC = x10, "));
    QVERIFY(std::filesystem::exists(home.path() / "Library/sample.mpak.toc"));
    window.selectAll();
    QCOMPARE(window.selectedCount(), window.itemCount());
  }

  void selectAllAndExtractThroughTheButtons() {
    StartedWindow started;
    auto& home = started.home;
    auto& window = started.window;
    window.openArchive(TARNWICK_SAMPLE_ARCHIVE);
    QTest::mouseClick(window.findChild<QPushButton*>("butSelectAll"), Qt::LeftButton);
    QCOMPARE(window.selectedCount(), window.itemCount());
    QTest::mouseClick(window.findChild<QPushButton*>("butMassExtract"), Qt::LeftButton);
    QVERIFY(window.logPane().ends_with("files extracted.\r\nExtraction complete.\r\n"));
    const auto root = home.path() / "ExtractedFiles" / "sample.mpak";
    QCOMPARE(testing_support::slurp(root / "scripts" / "init.lua"),
             testing_support::slurp(std::filesystem::path(TARNWICK_SAMPLE_FILES) / "scripts" /
                                    "init.lua"));
    QVERIFY(std::filesystem::exists(root / "textures" / "menu" / "back.tga"));
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
  std::unique_ptr<MessageCatcher> m_messages;
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
