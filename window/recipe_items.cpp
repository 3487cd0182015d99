#include "recipe_items.h"

#include <QAction>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QTimer>

#include "atomic_file.h"
#include "dialog_window.h"
#include "file_error_dialogs.h"
#include "memory_file_dialogs.h"
#include "message_dialog.h"
#include "recipe_parser.h"
#include "recipe_recorder.h"
#include "text_index.h"
#include "text_table.h"

namespace {

constexpr char kRecipeSuffix[] = "recipe";

// Whether a recording could be written to 'path' when it stops.
bool CanWrite(const QString &path) {
  const QFileInfo file(path);
  return !IsExistingFileReadOnly(path) &&
         (file.exists() || QFileInfo(file.absolutePath()).isWritable());
}

}  // namespace

TRecipeItems::TRecipeItems(TDisplayModel &model, TKeypad &keypad, TDriveLink &link,
                           QMenu &toolsMenu, std::function<void()> stateChanged)
    : model_(model),
      keypad_(keypad),
      panel_(model, keypad, link),
      runner_(panel_),
      stateChanged_(std::move(stateChanged)) {
  recordItem_ = toolsMenu.addAction(GetText(kTextRecordRecipe));
  recordItem_->setObjectName(QStringLiteral("Menu_RecordRecipe"));
  recordItem_->setCheckable(true);
  playItem_ = toolsMenu.addAction(GetText(kTextPlayRecipe));
  playItem_->setObjectName(QStringLiteral("Menu_PlayRecipe"));
  QObject::connect(recordItem_, &QAction::triggered, recordItem_,
                   [this] { Menu_RecordRecipeClick(); });
  QObject::connect(playItem_, &QAction::triggered, playItem_, [this] { Menu_PlayRecipeClick(); });
  QObject::connect(&runner_, &TRecipeRunner::Finished, playItem_,
                   [this](const TRecipeOutcome &outcome) { PlayFinished(outcome); });
}

TRecipeItems::~TRecipeItems() = default;

void TRecipeItems::Menu_RecordRecipeClick() {
  if (!Recording()) {
    const QString path = ChooseFile(true);
    if (!path.isEmpty()) {
      StartRecording(path);
    }
    ShowState();
    return;
  }
  // A file that cannot be written leaves the recording on until another
  // one is chosen, or the choice is cancelled.
  while (!StopRecording()) {
    const QString path = ChooseFile(true);
    if (path.isEmpty()) {
      recorder_.reset();
      break;
    }
    recordPath_ = path;
  }
  ShowState();
}

void TRecipeItems::Menu_PlayRecipeClick() {
  if (Playing()) {
    return;
  }
  const QString path = ChooseFile(false);
  if (!path.isEmpty()) {
    Play(path);
  }
}

bool TRecipeItems::StartRecording(const QString &path) {
  if (Recording()) {
    return true;
  }
  if (!CanWrite(path)) {
    ShowFileWriteError(path);
    return false;
  }
  recordPath_ = path;
  recorder_ = std::make_unique<TRecipeRecorder>(keypad_, model_, QDateTime::currentDateTime());
  ShowState();
  return true;
}

bool TRecipeItems::StopRecording() {
  if (!Recording()) {
    return true;
  }
  if (!WriteFileAtomically(recordPath_, recorder_->Text())) {
    ShowFileWriteError(recordPath_);
    return false;
  }
  recorder_.reset();
  ShowState();
  return true;
}

bool TRecipeItems::Play(const QString &path) {
  if (Playing()) {
    return false;
  }
  TRecipeParse parse = ReadRecipeFile(path);
  if (!parse.Ok()) {
    Luvamsg_ShowDialog(kMessageDialogIconError, GetText(kTextError), GetText(kTextBadRecipe),
                       path + QLatin1Char('\n') + DescribeRecipeError(parse.error),
                       kMessageDialogButtonOk);
    return false;
  }
  playPath_ = path;
  runner_.Start(std::move(*parse.recipe));
  ShowState();
  return true;
}

// Shown from the event loop: the run may end inside a display change, and a
// dialog must not wait there.
void TRecipeItems::PlayFinished(const TRecipeOutcome &outcome) {
  ShowState();
  const QString path = playPath_;
  QTimer::singleShot(0, playItem_, [path, outcome] {
    if (outcome.status == TRecipeStatus::Done) {
      Luvamsg_ShowDialog(kMessageDialogIconInformation, QString(), GetText(kTextRecipeDone), path,
                         kMessageDialogButtonOk);
    } else {
      Luvamsg_ShowDialog(kMessageDialogIconError, GetText(kTextError), GetText(kTextRecipeStopped),
                         path + QLatin1Char('\n') + DescribeRecipeOutcome(outcome),
                         kMessageDialogButtonOk);
    }
  });
}

QString TRecipeItems::Note() const {
  if (Recording()) {
    return GetText(kTextRecordingNote);
  }
  return Playing() ? GetText(kTextPlayingNote) : QString();
}

void TRecipeItems::Retranslate() {
  recordItem_->setText(GetText(kTextRecordRecipe));
  playItem_->setText(GetText(kTextPlayRecipe));
}

// The program's file dialog, in the folder a recipe was last chosen in.
QString TRecipeItems::ChooseFile(bool toSave) {
  QFileDialog dialog(DialogOwner());
  dialog.setObjectName(QStringLiteral("RecipeDialog"));
  dialog.setWindowTitle(GetText(toSave ? kTextRecordRecipe : kTextPlayRecipe));
  dialog.setAcceptMode(toSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(toSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QString::fromLatin1(kRecipeSuffix));
  dialog.setNameFilters({GetText(kTextRecipeFiles), GetText(kTextAllFiles)});
  return RunMemoryFileDialog(dialog, lastFolder_);
}

void TRecipeItems::ShowState() {
  recordItem_->setChecked(Recording());
  playItem_->setEnabled(!Playing());
  if (stateChanged_) {
    stateChanged_();
  }
}
