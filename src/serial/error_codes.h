#pragma once
// The library's error codes. Routines return 0 or a positive count for success and one of these (always
// negative) for failure; the magnitude is also the id of the code's text in the error-text table.
#include <cstdint>

namespace serial {

// Runtime file and device errors (ids 2-162), in the original runtime's numbering.
inline constexpr int ecOK = 0;
inline constexpr int ecFileNotFound = -2;
inline constexpr int ecPathNotFound = -3;
inline constexpr int ecTooManyOpenFiles = -4;
inline constexpr int ecFileAccessDenied = -5;
inline constexpr int ecInvalidHandle = -6;
inline constexpr int ecOutOfMemory = -8;
inline constexpr int ecDiskReadError = -100;
inline constexpr int ecDiskFull = -101;
inline constexpr int ecHardwareFailure = -162;

// General.
inline constexpr int ecBadHandle = -1001;
inline constexpr int ecBadArgument = -1002;
inline constexpr int ecGotQuitMsg = -1003;
inline constexpr int ecBufferTooBig = -1004;
inline constexpr int ecPortNotAssigned = -1005;
inline constexpr int ecInternal = -1006;
inline constexpr int ecModemNotAssigned = -1007;
inline constexpr int ecPhonebookNotAssigned = -1008;
inline constexpr int ecCannotUseWithWinSock = -1009;

// Opening a port.
inline constexpr int ecBadId = -2001;
inline constexpr int ecBaudRate = -2002;
inline constexpr int ecByteSize = -2003;
inline constexpr int ecDefault = -2004;
inline constexpr int ecHardware = -2005;
inline constexpr int ecMemory = -2006;
inline constexpr int ecCommNotOpen = -2007;
inline constexpr int ecAlreadyOpen = -2008;
inline constexpr int ecNoHandles = -2009;
inline constexpr int ecNoTimers = -2010;
inline constexpr int ecNoPortSelected = -2011;
inline constexpr int ecNotOpenedByTapi = -2012;
// Linux: the user may not open the device node (not in the group that owns it).
inline constexpr int ecNoPermission = -2013;

// Serial input and output.
inline constexpr int ecNullApi = -3001;
inline constexpr int ecRegisterHandlerFailed = -3003;
inline constexpr int ecPutBlockFail = -3004;
inline constexpr int ecGetBlockFail = -3005;
inline constexpr int ecOutputBufferTooSmall = -3006;
inline constexpr int ecBufferIsEmpty = -3007;
inline constexpr int ecTracingNotEnabled = -3008;
inline constexpr int ecLoggingNotEnabled = -3009;
inline constexpr int ecBaseAddressNotSet = -3010;

// Triggers.
inline constexpr int ecNoMoreTriggers = -5001;
inline constexpr int ecTriggerTooLong = -5002;
inline constexpr int ecBadTriggerHandle = -5003;

// Telephony.
inline constexpr int ecTapiNotSet = -13929;

}  // namespace serial
