// The Tools menu's recipe items, after the automation item: "Record
// recipe…" asks for a file and records the keys pressed on the panel until
// it is chosen again (checked meanwhile), then writes the file; "Play
// recipe…" asks for a recipe and plays it on the window's own panel,
// beside the user's keys, disabled while one plays. A bad recipe, a file
// that cannot be written and how a play ended are shown in the program's
// message dialogs.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "recipe_runner.h"
#include "window_panel.h"

class QAction;
class QMenu;
class TRecipeRecorder;

class TRecipeItems {
 public:
  // Adds the two items to 'toolsMenu'; 'stateChanged' is called whenever a
  // recording or a play starts or ends. Everything passed in outlives this.
  TRecipeItems(TDisplayModel &model, TKeypad &keypad, TDriveLink &link, QMenu &toolsMenu,
               std::function<void()> stateChanged);
  ~TRecipeItems();
  TRecipeItems(const TRecipeItems &) = delete;
  TRecipeItems &operator=(const TRecipeItems &) = delete;

  void Menu_RecordRecipeClick();
  void Menu_PlayRecipeClick();

  // Starts recording into 'path'; false, after the file error dialog, when
  // the file could not be written.
  bool StartRecording(const QString &path);
  // Writes the recording over its file at once and stops; false, after the
  // file error dialog, when it could not be written (the recording is then
  // still on). Not recording: true.
  bool StopRecording();
  bool Recording() const { return recorder_ != nullptr; }
  const TRecipeRecorder *Recorder() const { return recorder_.get(); }

  // Reads and checks the recipe at 'path' and starts it; false, after the
  // error dialog naming the faulty line, for a bad recipe (nothing pressed).
  bool Play(const QString &path);
  bool Playing() const { return runner_.Running(); }
  TRecipeRunner &Runner() { return runner_; }

  // The status bar's note: recording, playing, or empty.
  QString Note() const;
  void Retranslate();

  QAction *RecordItem() const { return recordItem_; }
  QAction *PlayItem() const { return playItem_; }

 private:
  QString ChooseFile(bool toSave);
  void ShowState();
  void PlayFinished(const TRecipeOutcome &outcome);

  TDisplayModel &model_;
  TKeypad &keypad_;
  TWindowPanel panel_;
  TRecipeRunner runner_;
  std::unique_ptr<TRecipeRecorder> recorder_;
  QString recordPath_;
  QString playPath_;
  QString lastFolder_;
  QAction *recordItem_ = nullptr;
  QAction *playItem_ = nullptr;
  std::function<void()> stateChanged_;
};
