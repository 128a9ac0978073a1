#include "controls/entry_field_validation.h"

#include "controls/library_data.h"

namespace controls {

std::uint16_t RequiredInputError(TVxEntryFieldOptions options, bool readOnly, bool empty, bool uninitialized,
                                 bool modified) {
  if (!(options & efoInputRequired) || readOnly) return 0;
  return empty || (uninitialized && !modified) ? oeRequiredField : 0;
}

TVxCloseOutcome CloseOutcome(std::uint16_t error, bool validateSoftly, TVxEntryFieldOptions options) {
  if (error == 0) return TVxCloseOutcome::Close;
  if (validateSoftly && (options & efoSoftValidation)) return TVxCloseOutcome::CloseMarked;
  return TVxCloseOutcome::HoldAndReport;
}

std::string ErrorMessage(std::uint16_t code, const std::string& controllerErrorText) {
  if (code >= oeCustomError) return controllerErrorText;
  if (code >= oeRangeError && code <= oePartialEntry) return GetVxStr(static_cast<std::uint16_t>(30179 + code - 256));
  return GetVxStr(30278);
}

}  // namespace controls
