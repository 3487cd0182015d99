#include "usb_bulk_reader.h"

#include <libusb.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace {

// The reader whose Take is handling libusb's events on this thread: a
// transfer that finishes there needs no wake of the worker.
thread_local const TUsbBulkReader *t_handling = nullptr;

// A cancelled transfer ends within microseconds, at once on a gone adapter;
// this only bounds a USB stack that never answers.
constexpr auto kStopLimit = std::chrono::seconds(1);
constexpr long kStopSliceUs = 100 * 1000;
constexpr size_t kStatusBytes = 2;  // at the head of every packet

}  // namespace

TUsbBulkReader::TUsbBulkReader() = default;

TUsbBulkReader::~TUsbBulkReader() {
  Stop();
}

bool TUsbBulkReader::Watch(int fd, short events) {
  epoll_event event{};
  event.events = static_cast<uint32_t>(events) & (EPOLLIN | EPOLLOUT);
  event.data.fd = fd;
  if (epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &event) == 0) {
    return true;
  }
  return errno == EEXIST && epoll_ctl(epollFd_, EPOLL_CTL_MOD, fd, &event) == 0;
}

void TUsbBulkReader::OnPollFdAdded(int fd, short events, void *self) {
  (void)static_cast<TUsbBulkReader *>(self)->Watch(fd, events);
}

void TUsbBulkReader::OnPollFdRemoved(int fd, void *self) {
  (void)epoll_ctl(static_cast<TUsbBulkReader *>(self)->epollFd_, EPOLL_CTL_DEL, fd, nullptr);
}

bool TUsbBulkReader::Start(libusb_context *context, libusb_device_handle *handle,
                           unsigned char endpoint, size_t packetSize) {
  Stop();
  context_ = context;
  packetSize_ = std::max(packetSize, kStatusBytes + 1);
  epollFd_ = epoll_create1(EPOLL_CLOEXEC);
  finishedFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  bool watched = epollFd_ >= 0 && finishedFd_ >= 0 && Watch(finishedFd_, POLLIN);
  if (watched) {
    libusb_set_pollfd_notifiers(context_, OnPollFdAdded, OnPollFdRemoved, this);
    const libusb_pollfd **fds = libusb_get_pollfds(context_);
    watched = fds != nullptr;
    for (size_t i = 0; watched && fds[i] != nullptr; ++i) {
      // Fails on a descriptor poll() cannot wait for (a regular file):
      // waiting on it would be a busy loop.
      watched = Watch(fds[i]->fd, fds[i]->events);
    }
    libusb_free_pollfds(fds);
  }
  for (size_t i = 0; watched && i < kTransfers; ++i) {
    transfers_[i] = libusb_alloc_transfer(0);
    watched = transfers_[i] != nullptr;
    if (watched) {
      libusb_fill_bulk_transfer(transfers_[i], handle, endpoint, buffers_[i].data(),
                                static_cast<int>(kTransferSize), OnFinished, this, 0);
    }
  }
  if (!watched) {
    Forget();
    return false;
  }
  std::lock_guard lock(mutex_);
  received_.clear();
  parked_.assign(transfers_.begin(), transfers_.end());
  inFlight_ = 0;
  gone_ = false;
  stopping_ = false;
  ResubmitParked();
  if (inFlight_ == 0) {
    parked_.clear();
    Forget();
    return false;
  }
  return true;
}

bool TUsbBulkReader::Stop() {
  if (context_ == nullptr) {
    return true;
  }
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (libusb_transfer *transfer : transfers_) {
      if (transfer != nullptr &&
          std::find(parked_.begin(), parked_.end(), transfer) == parked_.end()) {
        (void)libusb_cancel_transfer(transfer);  // NOT_FOUND: it finished meanwhile
      }
    }
  }
  const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (inFlight_ == 0) {
        break;
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      // libusb still owns a transfer: its memory and the context must stay.
      transfers_.fill(nullptr);
      return false;
    }
    timeval slice{0, kStopSliceUs};
    libusb_handle_events_timeout_completed(context_, &slice, nullptr);
  }
  Forget();
  return true;
}

void TUsbBulkReader::Forget() {
  if (context_ != nullptr) {
    libusb_set_pollfd_notifiers(context_, nullptr, nullptr, nullptr);
  }
  for (libusb_transfer *&transfer : transfers_) {
    libusb_free_transfer(transfer);
    transfer = nullptr;
  }
  if (epollFd_ >= 0) {
    close(epollFd_);
  }
  if (finishedFd_ >= 0) {
    close(finishedFd_);
  }
  epollFd_ = -1;
  finishedFd_ = -1;
  context_ = nullptr;
  std::lock_guard lock(mutex_);
  parked_.clear();
  received_.clear();
}

void TUsbBulkReader::OnFinished(libusb_transfer *transfer) {
  static_cast<TUsbBulkReader *>(transfer->user_data)->Finish(transfer);
}

void TUsbBulkReader::Finish(libusb_transfer *transfer) {
  {
    std::lock_guard lock(mutex_);
    --inFlight_;
    ++finished_;
    switch (transfer->status) {
      case LIBUSB_TRANSFER_COMPLETED:
      case LIBUSB_TRANSFER_TIMED_OUT:
        for (size_t at = 0; at < static_cast<size_t>(transfer->actual_length); at += packetSize_) {
          const size_t packet =
              std::min(packetSize_, static_cast<size_t>(transfer->actual_length) - at);
          if (packet > kStatusBytes) {
            received_.insert(received_.end(), transfer->buffer + at + kStatusBytes,
                             transfer->buffer + at + packet);
          }
        }
        break;
      case LIBUSB_TRANSFER_CANCELLED:
        break;
      default:  // NO_DEVICE, ERROR, STALL, OVERFLOW: the line is unusable
        gone_ = true;
        break;
    }
    if (!stopping_ && !gone_) {
      parked_.push_back(transfer);
      ResubmitParked();
    }
  }
  if (t_handling != this) {
    eventfd_write(finishedFd_, 1);
  }
}

void TUsbBulkReader::ResubmitParked() {
  while (!parked_.empty() && !gone_ && !stopping_ &&
         received_.size() + (inFlight_ + 1) * kTransferSize <= kReceiveLimit) {
    libusb_transfer *transfer = parked_.back();
    if (libusb_submit_transfer(transfer) != 0) {
      gone_ = true;  // NO_DEVICE, or a USB stack that takes no more
      return;
    }
    parked_.pop_back();
    ++inFlight_;
  }
}

void TUsbBulkReader::HandleReady() {
  if (context_ == nullptr) {
    return;
  }
  eventfd_t count = 0;
  eventfd_read(finishedFd_, &count);  // empty (EAGAIN) is as good as read
  t_handling = this;
  timeval zero{0, 0};
  libusb_handle_events_timeout_completed(context_, &zero, nullptr);
  t_handling = nullptr;
}

size_t TUsbBulkReader::Waiting() {
  HandleReady();
  std::lock_guard lock(mutex_);
  return received_.size();
}

size_t TUsbBulkReader::Take(uint8_t *out, size_t limit) {
  std::lock_guard lock(mutex_);
  const size_t taken = std::min(limit, received_.size());
  std::copy_n(received_.begin(), taken, out);
  received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(taken));
  ResubmitParked();
  if (gone_ && finishedFd_ >= 0) {
    // Come back for the rest, and then for the news that it is gone.
    eventfd_write(finishedFd_, 1);
  }
  return taken;
}

bool TUsbBulkReader::Gone() {
  std::lock_guard lock(mutex_);
  return gone_ && received_.empty();
}
