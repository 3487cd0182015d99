// What a recipe runner needs of a panel: keys by index, the display's four
// lines, word of every display change and of the panel going away. The
// command-line client implements it over D-Bus; the window over its own
// display model and key path.
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class TRecipePanel : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  // Presses the key, keeps it down until the drive has been told (an answer
  // carrying it went on the line, or the link is silent), lets it go, and
  // calls done once the release has gone on the line too: a drive takes a key
  // on its rising edge, so the same key tapped twice must be seen let go in
  // between. Must not call done from inside Tap itself.
  virtual void Tap(int key, std::function<void()> done) = 0;
  virtual void Press(int key) = 0;
  virtual void Release(int key) = 0;

  // The four display lines as text; fewer only when the panel is gone.
  virtual QStringList Lines() const = 0;

  // False once the program behind the panel has gone (Gone was emitted).
  virtual bool Alive() const = 0;

 signals:
  void DisplayChanged();
  // The program closed (or stopped answering): nothing more can be pressed.
  void Gone();
};
