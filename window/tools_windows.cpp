#include "tools_windows.h"

#include "drive_link.h"
#include "line_capture.h"
#include "line_monitor.h"
#include "memory_view.h"

namespace {

// A Tools window comes up in front, also when it was open behind others.
void BringToFront(QWidget *window) {
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace

TToolsWindows::TToolsWindows(TDriveLink &link, QWidget *mainWindow)
    : link_(link), mainWindow_(mainWindow), capture_(std::make_unique<TLineCapture>(link)) {}

TToolsWindows::~TToolsWindows() {
  delete lineMonitor_;
}

void TToolsWindows::ShowLineMonitor() {
  if (lineMonitor_ == nullptr) {
    lineMonitor_ = new TLineMonitor(link_, *capture_, mainWindow_);
  }
  BringToFront(lineMonitor_);
}

void TToolsWindows::ShowMemoryView() {
  if (memoryView_ == nullptr) {
    memoryView_ = new TForm_MemoryView(link_.Memory(), mainWindow_);
  }
  BringToFront(memoryView_);
}

void TToolsWindows::CloseMemoryView() {
  if (memoryView_ != nullptr) {
    memoryView_->close();
  }
}

void TToolsWindows::Retranslate() {
  if (memoryView_ != nullptr) {
    memoryView_->ApplyLanguage();
  }
  if (lineMonitor_ != nullptr) {
    lineMonitor_->Retranslate();
  }
}

void TToolsWindows::MemoryBlockWritten(uint32_t address, uint32_t length) {
  if (memoryView_ != nullptr) {
    memoryView_->MemoryBlockWritten(address, length);
  }
}
