#pragma once
// The controls library's exception classes. Those with a fixed message take it from the library's string
// table by identifier; the group classes take the message their raiser gives.
#include <cstdint>
#include <string>

#include "tk/exception.h"

namespace controls {

class EVxException : public tk::Exception {
 public:
  using tk::Exception::Exception;
};

#define ZELTA_VX_GROUP(Name, Base) \
  class Name : public Base {       \
   public:                         \
    using Base::Base;              \
  };
#define ZELTA_VX_FIXED(Name, Base, Id)   \
  class Name : public Base {             \
   public:                               \
    Name();                              \
    static constexpr int MessageId = Id; \
  };

ZELTA_VX_GROUP(EControllerError, EVxException)
ZELTA_VX_GROUP(ECmdProcessorError, EVxException)
ZELTA_VX_GROUP(EEntryFieldError, EVxException)
ZELTA_VX_GROUP(EViewerError, EVxException)
ZELTA_VX_GROUP(ENotebookError, EVxException)
ZELTA_VX_GROUP(ERotatedLabelError, EVxException)
ZELTA_VX_GROUP(ETimerPoolError, EVxException)
ZELTA_VX_GROUP(EVirtualListBoxError, EVxException)
ZELTA_VX_GROUP(ESparseArrayError, EVxException)
ZELTA_VX_GROUP(ESAEAtMaxSize, ESparseArrayError)
ZELTA_VX_GROUP(ESAEOutOfBounds, ESparseArrayError)
ZELTA_VX_GROUP(EFixedFontError, EVxException)
ZELTA_VX_GROUP(EMenuMRUError, EVxException)

ZELTA_VX_FIXED(ENoTimersAvailable, EVxException, 30189)
ZELTA_VX_FIXED(ENoControllerAssigned, EControllerError, 30172)
ZELTA_VX_FIXED(EDuplicateCommand, ECmdProcessorError, 30169)
ZELTA_VX_FIXED(ETableNotFound, ECmdProcessorError, 30170)
ZELTA_VX_FIXED(EInvalidDataType, EEntryFieldError, 30194)
ZELTA_VX_FIXED(EInvalidDateForMask, EEntryFieldError, 30227)
ZELTA_VX_FIXED(ERegionTooLarge, EViewerError, 30186)
ZELTA_VX_FIXED(EInvalidPageIndex, ENotebookError, 30193)
ZELTA_VX_FIXED(EInvalidTabFont, ENotebookError, 30195)
ZELTA_VX_FIXED(EInvalidLabelFont, ERotatedLabelError, 30196)
ZELTA_VX_FIXED(EInvalidTriggerHandle, ETimerPoolError, 30191)
ZELTA_VX_FIXED(EOnSelectNotAssigned, EVirtualListBoxError, 30192)
ZELTA_VX_FIXED(EOnIsSelectedNotAssigned, EVirtualListBoxError, 30226)
ZELTA_VX_FIXED(EInvalidFixedFont, EFixedFontError, 30214)
ZELTA_VX_FIXED(EInvalidFontParam, EFixedFontError, 30215)

class EInvalidPictureMask : public EEntryFieldError {
 public:
  explicit EInvalidPictureMask(const std::string& mask);
};

// The message follows from the entry field's data type; date and time types quote the international
// picture the caller gives.
class EInvalidRangeValue : public EEntryFieldError {
 public:
  explicit EInvalidRangeValue(int dataType, const std::string& picture = std::string());
  static std::string MessageFor(int dataType, const std::string& picture);
};

class EEditorError : public EVxException {
 public:
  EEditorError(const std::string& message, std::int32_t errorCode) : EVxException(message), ErrorCode(errorCode) {}
  std::int32_t ErrorCode;
};
ZELTA_VX_FIXED(EInvalidLineOrCol, EEditorError, 30216)
ZELTA_VX_FIXED(EInvalidLineOrPara, EEditorError, 30213)

// Messages by identifier, optionally formatted with one argument.
class EReportViewError : public EVxException {
 public:
  explicit EReportViewError(int id);
  EReportViewError(int id, const std::string& arg);
};
ZELTA_VX_GROUP(EUnknownView, EReportViewError)
ZELTA_VX_GROUP(EItemNotFound, EReportViewError)
ZELTA_VX_GROUP(EItemAlreadyAdded, EReportViewError)
ZELTA_VX_GROUP(EUpdatePending, EReportViewError)
ZELTA_VX_GROUP(EItemIsNotGroup, EReportViewError)
ZELTA_VX_GROUP(ELineNoOutOfRange, EReportViewError)
ZELTA_VX_GROUP(ENotMultiSelect, EReportViewError)
ZELTA_VX_GROUP(EItemNotInIndex, EReportViewError)
ZELTA_VX_GROUP(ENoActiveView, EReportViewError)
ZELTA_VX_GROUP(EOnCompareNotAsgnd, EReportViewError)
ZELTA_VX_GROUP(EGetAsFloatNotAsg, EReportViewError)
ZELTA_VX_GROUP(EOnFilterNotAsgnd, EReportViewError)

#undef ZELTA_VX_GROUP
#undef ZELTA_VX_FIXED

// Identifiers of the base classes' own error texts.
inline constexpr int SNoCollectionInOwner = 30241;
inline constexpr int SOwnerMustBeVxComponent = 30242;
inline constexpr int SItemIncompatible = 30243;
inline constexpr int SLabelNotAttached = 30244;
inline constexpr int SItemClassNotSet = 30245;
inline constexpr int SNoCollectionForType = 30246;

}  // namespace controls
