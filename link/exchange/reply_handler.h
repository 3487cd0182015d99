// Turns the characters read from the port into frames and runs the exchange
// with the converter: keeps the link state, shows display lines, serves the
// terminal memory and answers each converter message with one request.
//
// HandleReply takes one chunk as the port's worker read it (chunks are not
// aligned to frames). Each call handles every frame the chunk completes, in
// order, so each converter message is answered as it arrives: a stray ETX or
// two frames in one chunk never leave a frame waiting for the next chunk,
// which would make every later answer belong to the message before it.
//
// A port that was opened since the last call starts from an empty receive
// buffer: characters of the line before the open are never taken for replies.
//
// Main thread only. The programming-terminal alerts ask the host, whose modal
// dialog runs inside HandleReply; the port is closed and the timer stopped
// meanwhile. When the port reopens after the alert, what is left in the
// buffer is dropped.
//
// HandleReply is never called from inside itself: the port hands over one
// chunk at a time, the next only once the call for the previous one has
// returned, also while that call runs the alert's dialog or the reopen's
// local event loop (TPortThread, "Hand-over of received bytes"). So the frame
// being handled owns ReplyData until it is done, with no guard here.
#pragma once

#include <QByteArray>

#include "display_input.h"
#include "kelvo.h"
#include "link_host.h"
#include "link_observer.h"
#include "link_state.h"
#include "port_control.h"
#include "program_settings.h"
#include "terminal_memory.h"

class TReplyHandler {
 public:
  // At most this many received characters wait in the buffer; beyond it the
  // oldest are dropped (a line that never sends ETX cannot grow it).
  static constexpr qsizetype kReceiveBufferLimit = 4096;
  // Decoded lengths a converter message needs for what it carries.
  static constexpr size_t kDisplayLineLength = 19;  // bytes 3..18: the line
  static constexpr size_t kMemoryBlockLength = 21;  // bytes up to 20

  // Everything passed in must outlive the handler.
  TReplyHandler(TLinkState &linkState, TTerminalMemory &memory, TProgramSettings &settings,
                TPortControl &port, TLinkHost &host, TDisplayInput &display);
  TReplyHandler(const TReplyHandler &) = delete;
  TReplyHandler &operator=(const TReplyHandler &) = delete;

  void HandleReply(const QByteArray &chunk);

  const QByteArray &ReceiveBuffer() const { return receiveBuffer_; }

  // Reports chunks, frames and answers to 'observer' (null: nobody).
  void SetObserver(TLinkObserver *observer) { observer_ = observer; }

 private:
  void AppendBounded(const QByteArray &chunk);
  // Empties the buffer when a port was opened since the last look; true then.
  bool ForgetLineBeforeOpen();
  void HandleFrame(const QByteArray &frame);
  void HandleProgTermFrame();
  void HandleConverterMessage();
  void CarryOutReplyKind();
  void StoreMemoryBlock();
  void PrepareMemoryReadAnswer();
  void Answer();
  // Shows the check-box alert about the programming terminal and takes the
  // user's choice into 'alertFlag' and the menu check mark.
  void ShowProgTermAlert(TProgTermAlert alert, bool &alertFlag,
                         void (TLinkHost::*setMenuChecked)(bool));

  TLinkState &linkState_;
  TTerminalMemory &memory_;
  TProgramSettings &settings_;
  TPortControl &port_;
  TLinkHost &host_;
  TDisplayInput &display_;
  QByteArray receiveBuffer_;
  TTerminalMessageFrame requestFrame_{};
  uint64_t openCountSeen_ = 0;
  TLinkObserver *observer_ = nullptr;
};
