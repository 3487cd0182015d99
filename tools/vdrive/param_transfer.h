// Saving the parameter set to the terminal's memory (16-byte writes) and
// loading it back (2-byte reads), one request per drive message, with retries
// when the terminal leaves a message unanswered.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "param_image.h"
#include "parameters.h"

namespace vdrive {

struct TransferRequest {
  enum class Kind : uint8_t { Write, Read } kind;
  uint16_t address;
  std::array<uint8_t, kBlockSize> data;  // writes only
};

enum class TransferOutcome : uint8_t {
  Saved,
  Loaded,
  NoAnswer,     // a request stayed unanswered kMaxTries times in a row
  NoSet,        // no parameter set at the address
  BadFormat,    // a set of another version or size
  BadChecksum,  // the data do not match their CRC
  BadValue,     // a value out of range or limits that clash
};

// The display text of an outcome ("Mentés kész", "Hiba: ...").
const char *OutcomeText(TransferOutcome outcome);

class ParamTransfer {
 public:
  static constexpr int kMaxTries = 10;

  void StartSave(const ParameterSet &params, uint16_t saveCounter);
  void StartLoad();
  bool Busy() const { return busy_; }

  // The request the next drive message must carry while Busy().
  TransferRequest Current() const;
  // The message that carried Current() was answered; for reads, with the
  // answer's address and value 1.
  void OnAnswered(uint16_t address, uint16_t value);
  // The message that carried Current() went unanswered.
  void OnNoAnswer();

  // Set once, when the transfer has ended; taking it clears it.
  std::optional<TransferOutcome> TakeOutcome();
  const std::optional<ParameterSet> &LoadedSet() const { return loaded_; }
  uint16_t LoadedSaveCounter() const { return header_.saveCounter; }
  int Done() const { return done_; }
  int Total() const { return total_; }
  int Retries() const { return retries_; }

 private:
  void Finish(TransferOutcome outcome);
  void ReadNextWord(uint16_t value);

  bool busy_ = false;
  bool saving_ = false;
  std::vector<MemoryBlock> blocks_;  // saving
  std::vector<uint8_t> bytes_;       // loading: header then data as read
  ImageHeader header_{};
  bool headerRead_ = false;
  int done_ = 0;
  int total_ = 0;
  int tries_ = 0;
  int retries_ = 0;
  std::optional<TransferOutcome> outcome_;
  std::optional<ParameterSet> loaded_;
};

}  // namespace vdrive
