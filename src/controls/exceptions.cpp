#include "controls/exceptions.h"

#include <cstdio>

#include "controls/library_data.h"

namespace controls {

#define ZELTA_VX_FIXED_CTOR(Name, Base) \
  Name::Name() : Base(GetVxStr(MessageId)) {}

ZELTA_VX_FIXED_CTOR(ENoTimersAvailable, EVxException)
ZELTA_VX_FIXED_CTOR(ENoControllerAssigned, EControllerError)
ZELTA_VX_FIXED_CTOR(EDuplicateCommand, ECmdProcessorError)
ZELTA_VX_FIXED_CTOR(ETableNotFound, ECmdProcessorError)
ZELTA_VX_FIXED_CTOR(EInvalidDataType, EEntryFieldError)
ZELTA_VX_FIXED_CTOR(EInvalidDateForMask, EEntryFieldError)
ZELTA_VX_FIXED_CTOR(ERegionTooLarge, EViewerError)
ZELTA_VX_FIXED_CTOR(EInvalidPageIndex, ENotebookError)
ZELTA_VX_FIXED_CTOR(EInvalidTabFont, ENotebookError)
ZELTA_VX_FIXED_CTOR(EInvalidLabelFont, ERotatedLabelError)
ZELTA_VX_FIXED_CTOR(EInvalidTriggerHandle, ETimerPoolError)
ZELTA_VX_FIXED_CTOR(EOnSelectNotAssigned, EVirtualListBoxError)
ZELTA_VX_FIXED_CTOR(EOnIsSelectedNotAssigned, EVirtualListBoxError)
ZELTA_VX_FIXED_CTOR(EInvalidFixedFont, EFixedFontError)
ZELTA_VX_FIXED_CTOR(EInvalidFontParam, EFixedFontError)
#undef ZELTA_VX_FIXED_CTOR

EInvalidLineOrCol::EInvalidLineOrCol() : EEditorError(GetVxStr(MessageId), 0) {}
EInvalidLineOrPara::EInvalidLineOrPara() : EEditorError(GetVxStr(MessageId), 0) {}

EInvalidPictureMask::EInvalidPictureMask(const std::string& mask)
    : EEntryFieldError(FormatVxStr(GetVxStr(30202), {mask})) {}

std::string EInvalidRangeValue::MessageFor(int dataType, const std::string& picture) {
  struct Bounds {
    long long Low, High;
  };
  auto integer = [](Bounds b) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, GetVxStr(30203).c_str(), static_cast<int>(b.Low), static_cast<int>(b.High));
    return std::string(buffer);
  };
  switch (dataType) {
    case 4:
      return integer({-2147483648LL, 2147483647LL});
    case 5:
      return integer({0, 65535});
    case 6:
      return integer({-32768, 32767});
    case 7:
      return integer({0, 255});
    case 8:
      return integer({-128, 127});
    case 9:
      return GetVxStr(30204);
    case 10:
      return GetVxStr(30205);
    case 11:
      return GetVxStr(30206);
    case 12:
      return GetVxStr(30207);
    case 13:
      return GetVxStr(30208);
    case 14:
      return FormatVxStr(GetVxStr(30209), {picture});
    case 15:
      return FormatVxStr(GetVxStr(30210), {picture});
    default:
      return GetVxStr(30211);
  }
}

EInvalidRangeValue::EInvalidRangeValue(int dataType, const std::string& picture)
    : EEntryFieldError(MessageFor(dataType, picture)) {}

EReportViewError::EReportViewError(int id) : EVxException(GetVxStr(id)) {}
EReportViewError::EReportViewError(int id, const std::string& arg) : EVxException(FormatVxStr(GetVxStr(id), {arg})) {}

}  // namespace controls
