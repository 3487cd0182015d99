#include "param_transfer.h"

namespace vdrive {
namespace {

constexpr int kWordsPerBlock = kBlockSize / 2;

}  // namespace

const char *OutcomeText(TransferOutcome outcome) {
  switch (outcome) {
    case TransferOutcome::Saved:
      return "Mentés kész";
    case TransferOutcome::Loaded:
      return "Betöltés OK";
    case TransferOutcome::NoAnswer:
      return "Hiba: nincs válasz";
    case TransferOutcome::NoSet:
      return "Hiba: nincs adat";
    case TransferOutcome::BadFormat:
      return "Hiba: formátum";
    case TransferOutcome::BadChecksum:
      return "Hiba: ellenőrzés";
    case TransferOutcome::BadValue:
      return "Hiba: érték";
  }
  return "Hiba";
}

void ParamTransfer::StartSave(const ParameterSet &params, uint16_t saveCounter) {
  const auto stored = params.ToStored();
  blocks_ = EncodeParamImage(stored, saveCounter);
  saving_ = true;
  busy_ = true;
  done_ = 0;
  total_ = static_cast<int>(blocks_.size());
  tries_ = 0;
  retries_ = 0;
  outcome_.reset();
}

void ParamTransfer::StartLoad() {
  bytes_.clear();
  headerRead_ = false;
  header_ = {};
  loaded_.reset();
  saving_ = false;
  busy_ = true;
  done_ = 0;
  total_ = kWordsPerBlock;  // grows once the header tells the data length
  tries_ = 0;
  retries_ = 0;
  outcome_.reset();
}

TransferRequest ParamTransfer::Current() const {
  if (saving_) {
    const MemoryBlock &block = blocks_[static_cast<size_t>(done_)];
    return {TransferRequest::Kind::Write, block.address, block.bytes};
  }
  return {TransferRequest::Kind::Read, static_cast<uint16_t>(kParamBase + 2 * done_), {}};
}

void ParamTransfer::OnAnswered(uint16_t address, uint16_t value) {
  if (!busy_) {
    return;
  }
  if (saving_) {
    // The terminal answers only a message it has taken in, so the block is stored.
    tries_ = 0;
    if (++done_ == total_) {
      Finish(TransferOutcome::Saved);
    }
    return;
  }
  if (address != Current().address) {
    OnNoAnswer();  // an answer to some other read: ask again
    return;
  }
  tries_ = 0;
  ReadNextWord(value);
}

void ParamTransfer::ReadNextWord(uint16_t value) {
  bytes_.push_back(static_cast<uint8_t>(value >> 8));
  bytes_.push_back(static_cast<uint8_t>(value));
  ++done_;
  if (!headerRead_) {
    if (done_ < kWordsPerBlock) {
      return;
    }
    const HeaderVerdict verdict =
        DecodeHeader(bytes_, static_cast<uint8_t>(kStoredParamCount), header_);
    if (verdict != HeaderVerdict::Ok) {
      Finish(verdict == HeaderVerdict::NoSet ? TransferOutcome::NoSet : TransferOutcome::BadFormat);
      return;
    }
    headerRead_ = true;
    total_ = kWordsPerBlock + header_.dataLength / 2;
  }
  if (done_ < total_) {
    return;
  }
  const auto values = DecodeValues(header_, std::span(bytes_).subspan(kBlockSize));
  if (!values) {
    Finish(TransferOutcome::BadChecksum);
    return;
  }
  loaded_ = ParameterSet::FromStored(*values);
  Finish(loaded_ ? TransferOutcome::Loaded : TransferOutcome::BadValue);
}

void ParamTransfer::OnNoAnswer() {
  if (!busy_) {
    return;
  }
  ++retries_;
  if (++tries_ >= kMaxTries) {
    Finish(TransferOutcome::NoAnswer);
  }
}

void ParamTransfer::Finish(TransferOutcome outcome) {
  busy_ = false;
  outcome_ = outcome;
}

std::optional<TransferOutcome> ParamTransfer::TakeOutcome() {
  auto outcome = outcome_;
  outcome_.reset();
  return outcome;
}

}  // namespace vdrive
