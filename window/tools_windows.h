// The windows of the Tools menu: the line monitor and the memory view, each
// created the first time it is asked for and brought to the front every
// time; and the capture file, which the line monitor's button and the
// command line start. All of them follow the language.
#pragma once

#include <cstdint>
#include <memory>

class QWidget;
class TDriveLink;
class TForm_MemoryView;
class TLineCapture;
class TLineMonitor;

class TToolsWindows {
 public:
  // The windows are children of 'mainWindow'; 'link' must outlive this.
  TToolsWindows(TDriveLink &link, QWidget *mainWindow);
  // The line monitor and the capture leave the link's observers.
  ~TToolsWindows();
  TToolsWindows(const TToolsWindows &) = delete;
  TToolsWindows &operator=(const TToolsWindows &) = delete;

  void ShowLineMonitor();
  void ShowMemoryView();
  // The memory view closes with the main window.
  void CloseMemoryView();
  void Retranslate();
  void MemoryBlockWritten(uint32_t address, uint32_t length);

  TLineMonitor *LineMonitor() const { return lineMonitor_; }
  TForm_MemoryView *MemoryView() const { return memoryView_; }
  TLineCapture &Capture() { return *capture_; }

 private:
  TDriveLink &link_;
  QWidget *mainWindow_;
  std::unique_ptr<TLineCapture> capture_;
  TLineMonitor *lineMonitor_ = nullptr;
  TForm_MemoryView *memoryView_ = nullptr;
};
