#pragma once
// The entry fields' validation rules without a window: when required input is missing, what a field does
// when it is left with an error, and the message an error code is reported with.
#include <cstdint>
#include <string>

#include "controls/entry_field_model.h"

namespace controls {

// Code 258 when input is required of an editable field that is empty, or Uninitialized and not yet edited.
std::uint16_t RequiredInputError(TVxEntryFieldOptions options, bool readOnly, bool empty, bool uninitialized,
                                 bool modified);

// What leaving a field with the code `error` comes to.
enum class TVxCloseOutcome {
  Close,          // valid: the field may be left
  CloseMarked,    // soft validation with a soft close: left, and shown as invalid
  HoldAndReport,  // hard validation: the focus comes back and the error is reported
};
TVxCloseOutcome CloseOutcome(std::uint16_t error, bool validateSoftly, TVxEntryFieldOptions options);

// The message of an error code: the library's text for the known codes, "Entry Error" for other codes below
// 32768, the controller's current error text for the user's own codes.
std::string ErrorMessage(std::uint16_t code, const std::string& controllerErrorText);

}  // namespace controls
