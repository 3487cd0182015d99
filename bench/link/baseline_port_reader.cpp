#include "baseline_port_reader.h"

#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <vector>

TBaselinePortReader::~TBaselinePortReader() {
  stop_ = true;
  if (worker_.joinable()) {
    worker_.join();
  }
}

bool TBaselinePortReader::Open(const QString &path) {
  serial_.SetPath(path);
  if (serial_.Open(TLineSettings()).Failed()) {
    return false;
  }
  worker_ = std::thread([this] { Loop(); });
  return true;
}

bool TBaselinePortReader::WriteData(const uint8_t *bytes, uint16_t length) {
  return serial_.Write(bytes, length, 150 + length);
}

void TBaselinePortReader::Loop() {
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO);
  (void)pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
  std::vector<uint8_t> buffer;
  while (!stop_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const uint32_t waiting = serial_.InQueueCount();
    if (waiting == 0) {
      continue;
    }
    buffer.resize(waiting);
    const TSerialDevice::TReadResult got = serial_.ReadAvailable(buffer.data(), waiting);
    if (got.state != TSerialDevice::TReadState::Data) {
      continue;
    }
    const QByteArray chunk(reinterpret_cast<const char *>(buffer.data()),
                           static_cast<qsizetype>(got.count));
    QMetaObject::invokeMethod(
        this, [this, chunk] { OnReceive(chunk); }, Qt::BlockingQueuedConnection);
  }
}
