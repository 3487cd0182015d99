// The port's worker thread: it waits for bytes on the device it is given,
// reads them and hands them to the receiver on the main thread
// (port_worker.cpp describes the hand-over, the one place where data crosses
// between the threads).
//
//   TPortWorker worker(receiver);      // receiver: the port's OnReceive
//   { TPortWorker::TPause pause(worker); worker.SetDevice(&device); }
//   worker.Start();
//   ...
//   { TPortWorker::TPause pause(worker); device.Close(); worker.SetDevice(nullptr); }
//
// Everything but the thread itself is called on the main thread. Stopping
// (or destroying) the worker cancels a posted hand-over and ends the thread
// at once.
#pragma once

#include <QByteArray>
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "port_device.h"
#include "wake_event.h"

class TPortWorker : public QObject {
 public:
  using TReceiveHandler = std::function<void(const QByteArray &chunk)>;

  // 'receiver' is called on the main thread with every chunk read, and may
  // change between calls; it must outlive the worker. Chunks that arrive
  // while it is empty are dropped.
  explicit TPortWorker(const TReceiveHandler &receiver);
  ~TPortWorker() override;
  TPortWorker(const TPortWorker &) = delete;
  TPortWorker &operator=(const TPortWorker &) = delete;

  // Starts the thread; once started, later calls do nothing.
  void Start();
  // Ends the thread and cancels a posted hand-over; does nothing twice.
  void Stop();
  bool Started() const { return thread_.joinable(); }

  // Keeps the worker off its device for as long as it lives: wakes it out of
  // its wait and goes ahead of its next pass. Main thread; not nested.
  class TPause {
   public:
    explicit TPause(TPortWorker &worker);
    ~TPause();
    TPause(const TPause &) = delete;
    TPause &operator=(const TPause &) = delete;

   private:
    TPortWorker &worker_;
  };

  // While paused: the device the worker reads from (null: none). Each change
  // starts a new generation, so chunks read before it are never delivered,
  // and forgets a lost line.
  void SetDevice(TPortDevice *device);

  // Pause between two looks at a device without a descriptor.
  void SetPollInterval(uint32_t ms) { pollInterval_ = ms; }
  uint32_t PollInterval() const { return pollInterval_; }

  // The device stopped delivering (hung up, gone): it is no longer read
  // until the next SetDevice.
  bool LineLost() const { return lineLost_; }
  // Passes of the loop so far: a device at rest costs no passes.
  uint64_t PassCount() const { return passes_; }
  // A hand-over has been posted and the receiver has not yet finished with it.
  bool HandOverPending() const;

 private:
  struct THandOver;

  void Loop();
  // 'timeoutMs' -1: until bytes arrive or the main thread calls.
  QByteArray WaitAndRead(int timeoutMs);
  // Reads from the device; 'woken' when its descriptor woke the worker.
  QByteArray Read(TPortDevice &device, bool woken);
  // True when the main thread woke the worker within 'timeoutMs'.
  bool WaitForWake(int timeoutMs);
  void HandOver(std::vector<QByteArray> chunks, uint64_t generation);
  void Deliver(const std::shared_ptr<THandOver> &handOver);

  const TReceiveHandler &receiver_;
  TWakeEvent wake_;

  // Written by the main thread under portMutex_ (TPause), read by the worker
  // under it; the main thread also reads them without it.
  std::mutex portMutex_;
  std::condition_variable mainDone_;  // a pause ended
  TPortDevice *device_ = nullptr;
  uint64_t generation_ = 0;  // counts device changes: tells stale chunks apart
  std::atomic<int> mainWaiting_ = 0;
  std::atomic<bool> stopping_ = false;
  std::atomic<uint32_t> pollInterval_ = 1;

  // Worker only (under portMutex_).
  std::vector<uint8_t> readBuffer_;
  int emptyWakes_ = 0;

  // The hand-over posted and not yet done; the worker waits for it to be done
  // only when it has the next one ready.
  mutable std::mutex handOverMutex_;
  std::condition_variable handOverDone_;
  std::shared_ptr<THandOver> pendingHandOver_;
  bool workerWaiting_ = false;

  std::atomic<bool> lineLost_ = false;
  std::atomic<uint64_t> passes_ = 0;
  std::thread thread_;
};
