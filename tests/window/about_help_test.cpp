// The about box and the help command.
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <stdexcept>

#include "about_box.h"
#include "help_viewer.h"
#include "window_fixture.h"

namespace {

// Throws from its event handler, as a faulty handler would.
class ThrowingObject : public QObject {
 public:
  bool event(QEvent *event) override {
    if (event->type() == QEvent::User) {
      throw std::runtime_error("handler failed");
    }
    if (event->type() == QEvent::Type(QEvent::User + 1)) {
      throw 42;
    }
    return QObject::event(event);
  }
};

class UrlRecorder : public QObject {
  Q_OBJECT

 public slots:
  void Open(const QUrl &url) { urls.append(url); }

 public:
  QList<QUrl> urls;
};

using AboutBoxTest = WindowTest;

QString LabelText(QWidget &box, const char *name) {
  auto *label = box.findChild<QLabel *>(QString::fromLatin1(name));
  return label != nullptr ? label->text() : QStringLiteral("<missing>");
}

TEST_F(AboutBoxTest, ShowsHungarianTextsWhateverTheLanguage) {
  Window().Menu_LanguageClick(Window().findChild<QAction *>(QStringLiteral("Menu_LanguageEng")));
  TForm_AboutBox box(&Window());
  EXPECT_EQ(box.windowTitle(), QStringLiteral("Névjegy"));
  EXPECT_EQ(LabelText(box, "ProductName"), QStringLiteral("Sorvanel"));
  EXPECT_EQ(LabelText(box, "Version"), QStringLiteral("Verzió: V9.1.2 (2021.06.15)"));
  EXPECT_EQ(LabelText(box, "Label1"),
            QStringLiteral(
                "Terminál program a VELTAR Kft. által gyártott frekvenciaváltók kezeléséhez."));
  EXPECT_TRUE(box.findChild<QLabel *>(QStringLiteral("ProductName"))->font().bold());
  EXPECT_FALSE(LabelText(box, "Copyright").isEmpty());
}

TEST_F(AboutBoxTest, ControlsStandAtTheirPositions) {
  TForm_AboutBox box(&Window());
  EXPECT_EQ(box.size(), QSize(400, 155));
  EXPECT_EQ(box.minimumSize(), box.maximumSize());
  const std::pair<const char *, QRect> placed[] = {
      {"Panel", {5, 5, 386, 106}},       {"ProgramIcon", {9, 8, 41, 64}},
      {"ProductName", {60, 11, 54, 13}}, {"Version", {60, 28, 129, 13}},
      {"Copyright", {60, 55, 252, 13}},  {"Bevel1", {10, 77, 366, 2}},
      {"Label1", {10, 85, 365, 13}},     {"OKButton", {162, 120, 75, 27}},
  };
  for (const auto &[name, geometry] : placed) {
    auto *control = box.findChild<QWidget *>(QString::fromLatin1(name));
    ASSERT_NE(control, nullptr) << name;
    EXPECT_EQ(control->geometry(), geometry) << name;
  }
  EXPECT_EQ(box.findChild<TImage *>(QStringLiteral("ProgramIcon"))->Picture().size(),
            QSize(41, 64));
  // Every label's text fits its label.
  for (QLabel *label : box.findChildren<QLabel *>()) {
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
        << label->objectName().toStdString();
  }
}

TEST_F(AboutBoxTest, EnterClosesTheBoxAndItIsCentredOnTheMainWindow) {
  TForm_Sorvanel &window = Window();
  window.move(200, 100);
  window.show();
  TForm_AboutBox box(&window);
  box.open();
  ASSERT_TRUE(box.isVisible());
  EXPECT_LE((box.frameGeometry().center() - window.frameGeometry().center()).manhattanLength(), 2);
  QTest::keyClick(&box, Qt::Key_Return);
  EXPECT_FALSE(box.isVisible());
  EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST_F(AboutBoxTest, HelpShowsTheManualInTheProgramsOwnViewer) {
  UrlRecorder browser;
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &browser, "Open");
  Window().findChild<QAction *>(QStringLiteral("Menu_OpenHelp"))->trigger();
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  EXPECT_TRUE(browser.urls.empty()) << "no browser needed";

  auto *viewer = Window().findChild<THelpViewer *>();
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_TRUE(viewer->isWindow());
  EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Sorvanel — user's manual"));
  EXPECT_TRUE(viewer->toPlainText().contains(QStringLiteral("Terminal memory and memory files")));
  // The manual's picture is built in beside it; links to the web go to a
  // browser.
  const QVariant picture =
      viewer->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("panel.png")));
  EXPECT_FALSE(picture.toByteArray().isEmpty());
  EXPECT_TRUE(viewer->openExternalLinks());

  // A second F1 raises the same window.
  Window().Menu_OpenHelpClick();
  EXPECT_EQ(Window().findChildren<THelpViewer *>().size(), 1);
  EXPECT_TRUE(dialogs.records.empty());
}

TEST_F(AboutBoxTest, MemoryFileDialogsOfferMemoryFilesFirst) {
  for (QFileDialog *dialog : {Window().OpenDialog(), Window().SaveDialog()}) {
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("mem"));
    EXPECT_EQ(dialog->nameFilters(),
              QStringList({QStringLiteral("VELTAR Terminál memória fájl (*.mem)"),
                           QStringLiteral("Minden fájl (*)")}));
  }
  EXPECT_EQ(Window().OpenDialog()->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(Window().SaveDialog()->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(Window().OpenDialog(), Window().OpenDialog()) << "one dialog, kept";
}

// An exception escaping an event handler is shown and the event loop goes
// on, so the closing steps still run and save the settings.
TEST_F(AboutBoxTest, ExceptionInAnEventHandlerIsShownAndTheProgramGoesOn) {
  Window().show();
  ThrowingObject faulty;
  QCoreApplication::postEvent(&faulty, new QEvent(QEvent::User));
  QCoreApplication::postEvent(&faulty, new QEvent(QEvent::Type(QEvent::User + 1)));
  bool loopWentOn = false;
  QTimer::singleShot(0, &Window(), [&] { loopWentOn = true; });
  EXPECT_TRUE(QTest::qWaitFor([&] { return loopWentOn && dialogs.records.size() >= 2; }, 5000));

  ASSERT_EQ(dialogs.records.size(), 2u);
  EXPECT_EQ(dialogs.records[0].request.caption, QStringLiteral("Sorvanel"));
  EXPECT_EQ(dialogs.records[0].request.headline, QStringLiteral("handler failed"));
  EXPECT_EQ(dialogs.records[0].request.icon, kMessageDialogIconError);
  EXPECT_TRUE(dialogs.records[1].request.headline.isEmpty());
  Window().close();
  EXPECT_TRUE(QFile::exists(SettingsPath()));
}

}  // namespace

#include "about_help_test.moc"
