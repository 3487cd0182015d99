#include "reply_handler.h"

#include "frame_bytes.h"

namespace {

using kelvo::kConverterMessage;
using kelvo::kEtx;
using kelvo::kProgTermFrame;
using kelvo::kReplyKindFirstKeepAlive;
using kelvo::kReplyKindMemoryRead;
using kelvo::kReplyKindMemoryWrite;

constexpr uint8_t kProgTermCountdownStart = 3;
constexpr int kMemoryBlockSize = 16;

}  // namespace

TReplyHandler::TReplyHandler(TLinkState &linkState, TTerminalMemory &memory,
                             TProgramSettings &settings, TPortControl &port, TLinkHost &host,
                             TDisplayInput &display)
    : linkState_(linkState),
      memory_(memory),
      settings_(settings),
      port_(port),
      host_(host),
      display_(display),
      openCountSeen_(port.OpenCount()) {}

void TReplyHandler::HandleReply(const QByteArray &chunk) {
  if (observer_ != nullptr) {
    observer_->ChunkReceived(TLinkClock::now(), chunk);
  }
  ForgetLineBeforeOpen();
  AppendBounded(chunk);
  qsizetype etx = 0;
  while ((etx = receiveBuffer_.indexOf(kEtx)) >= 0) {
    ++linkState_.ReceivedFrameCount;
    const QByteArray frame = receiveBuffer_.left(etx + 1);
    receiveBuffer_.remove(0, etx + 1);
    HandleFrame(frame);
    if (ForgetLineBeforeOpen()) {
      return;  // an alert reopened the port: the rest is from before it
    }
  }
}

bool TReplyHandler::ForgetLineBeforeOpen() {
  if (port_.OpenCount() == openCountSeen_) {
    return false;
  }
  openCountSeen_ = port_.OpenCount();
  receiveBuffer_.clear();
  return true;
}

void TReplyHandler::AppendBounded(const QByteArray &chunk) {
  receiveBuffer_.append(chunk);
  const qsizetype excess = receiveBuffer_.size() - kReceiveBufferLimit;
  if (excess > 0) {
    receiveBuffer_.remove(0, excess);
    if (observer_ != nullptr) {
      observer_->CharactersDropped(TLinkClock::now(), static_cast<size_t>(excess));
    }
  }
}

void TReplyHandler::HandleFrame(const QByteArray &frame) {
  TReplyData &reply = linkState_.ReplyData;
  const uint8_t kind = Kelvo_Check(reinterpret_cast<const uint8_t *>(frame.constData()),
                                   static_cast<size_t>(frame.size()), reply.bytes, &reply.length);
  if (observer_ != nullptr) {
    const uint8_t error = kind == KELVO_CHECK_FAILED ? Kelvo_GetLastError() : 0;
    observer_->FrameHandled(TLinkClock::now(), frame, kind, error, reply);
  }
  if (kind == kProgTermFrame) {
    HandleProgTermFrame();
  } else if (kind == kConverterMessage) {
    HandleConverterMessage();
  }
}

void TReplyHandler::HandleProgTermFrame() {
  if (linkState_.ProgTermCountdown == 0) {
    linkState_.ProgTermCountdown = kProgTermCountdownStart;
    host_.RepaintStatusBar();
    if (settings_.PTConnect) {
      ShowProgTermAlert(TProgTermAlert::Connected, settings_.PTConnect,
                        &TLinkHost::SetProgTermAlertOnConnectChecked);
    }
  }
  linkState_.ProgTermCountdown = kProgTermCountdownStart;
  // A programming terminal's frame is never answered.
}

void TReplyHandler::HandleConverterMessage() {
  if (!linkState_.ConverterConnected) {
    linkState_.ConverterConnected = true;
    host_.RepaintStatusBar();
  }
  if (linkState_.ProgTermCountdown > 0) {
    --linkState_.ProgTermCountdown;
    if (linkState_.ProgTermCountdown == 0) {
      host_.RepaintStatusBar();
      if (settings_.PTDisconnect) {
        ShowProgTermAlert(TProgTermAlert::Disconnected, settings_.PTDisconnect,
                          &TLinkHost::SetProgTermAlertOnDisconnectChecked);
      }
    }
  }
  CarryOutReplyKind();
  Answer();
}

// A message shorter than its kind needs is still a converter message (it
// counts for the link and is answered) but what it carries is not used.
void TReplyHandler::CarryOutReplyKind() {
  const TReplyData &reply = linkState_.ReplyData;
  const int kind = kelvo::ReplyKind(reply.Status());
  if (kind < kReplyKindFirstKeepAlive) {
    if (reply.length >= kDisplayLineLength) {
      display_.ShowDisplayMessage(reply);
    }
  } else if (kind == kReplyKindMemoryWrite) {
    if (reply.length >= kMemoryBlockLength) {
      StoreMemoryBlock();
    }
  } else if (kind == kReplyKindMemoryRead) {
    if (reply.length >= kMemoryBlockLength) {
      display_.ShowLine(reply);
      PrepareMemoryReadAnswer();
    }
  }
}

void TReplyHandler::StoreMemoryBlock() {
  const uint8_t *bytes = linkState_.ReplyData.bytes;
  const uint32_t address = bytes[3] * 256u + bytes[4];
  for (int i = 0; i < kMemoryBlockSize; ++i) {
    memory_.Write(address + i, bytes[5 + i]);
  }
  host_.MemoryBlockWritten(address, kMemoryBlockSize);
  if (!host_.IsMemorySaveEnabled()) {
    host_.SetMemorySaveEnabled(true);
  }
}

void TReplyHandler::PrepareMemoryReadAnswer() {
  const uint8_t *bytes = linkState_.ReplyData.bytes;
  const uint32_t address = bytes[19] * 256u + bytes[20];
  Kelvo_SetAddress(address);
  const uint16_t value =
      static_cast<uint16_t>(memory_.Read(address) * 256u + memory_.Read(address + 1));
  Kelvo_SetValue(value, 0, 0, 0);
}

void TReplyHandler::Answer() {
  if (linkState_.SendSkipCount > 0) {
    --linkState_.SendSkipCount;
    if (observer_ != nullptr) {
      observer_->AnswerSkipped(TLinkClock::now());
    }
    return;
  }
  // Compiled even without an open port, so released keys and a memory-read
  // answer are consumed rather than sent late.
  Kelvo_CompileMessage(&requestFrame_);
  if (port_.Connected()) {
    const bool written = port_.WriteData(requestFrame_.bytes + 1, requestFrame_.bytes[0]);
    if (observer_ != nullptr) {
      observer_->AnswerWritten(TLinkClock::now(), requestFrame_.bytes + 1, requestFrame_.bytes[0],
                               written);
    }
  }
}

void TReplyHandler::ShowProgTermAlert(TProgTermAlert alert, bool &alertFlag,
                                      void (TLinkHost::*setMenuChecked)(bool)) {
  host_.SetTimerEnabled(false);
  port_.ClosePort();
  alertFlag = host_.AskProgTermAlert(alert, alertFlag);
  port_.OpenPort();
  host_.SetTimerEnabled(true);
  (host_.*setMenuChecked)(alertFlag);
}
