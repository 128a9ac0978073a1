#pragma once
// The AT modem engine: drives a Hayes-style modem on an open port's dispatcher. Commands go out character
// by character; the modem's responses are data triggers and time-outs are timer triggers of the
// dispatcher; what happened reaches the registered handlers as numbered modem messages. Every routine
// returns 0 or a negative library error code.
//
// Threads: the routines run on the caller's (window) thread; the trigger handler runs on the port's
// dispatch thread, and so do the modem messages and every handler they reach. A record's fields are
// guarded by its Lock; no routine holds it while the message loop runs or while handlers are called, and
// mDoneModem waits until a handler run on another thread has left the record before freeing it.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial/dispatcher.h"
#include "serial/notify_target.h"
#include "telephony/modem_data.h"

namespace tk {
class Component;
}

namespace telephony {

// Error codes of the modem and the dialer.
inline constexpr std::int32_t ecModemNotStarted = -4001;
inline constexpr std::int32_t ecModemBusy = -4002;
inline constexpr std::int32_t ecModemNotDialing = -4003;
inline constexpr std::int32_t ecNotDialing = -4004;
inline constexpr std::int32_t ecAlreadyDialing = -4005;
inline constexpr std::int32_t ecModemNotResponding = -4006;

enum TModemStatus : std::uint8_t {
  msModemOK,
  msModemConnect,
  msModemBusy,
  msModemVoice,
  msModemNoCarrier,
  msModemNoDialTone,
  msModemError,
  msGotLineSpeed,
  msGotErrCorrection,
  msGotDataCompression,
  msCmdTimeout,
  msDialTimeout,
  msAnswerTimeout,
  msDialCount,
  msAnswerCount,
  msModemRing,
  msModemIsConnected,
  msConnectFailed,
  msCommandProcessed
};

inline constexpr std::uint32_t kModemMessageBase = 0x7E28;
constexpr std::uint32_t ModemMessageOf(TModemStatus status) { return kModemMessageBase + status; }

// A procedure handler: (message, first parameter, second parameter); a record made by
// mInitModemComponent passes the record itself as the second parameter.
using TModemProc = void (*)(std::uint32_t msg, std::uint32_t wParam, std::intptr_t lParam);

// A response string or a feature tag with its data trigger.
struct TModemSlot {
  std::string Text;
  std::uint32_t Trigger = 0;
  bool Active = false;
};

struct TModemHandler {
  // A window handler gets the message on its own thread; the engine waits for it, bounded.
  serial::NotifyTarget* Window = nullptr;
  TModemProc Proc = nullptr;
  bool Deleted = false;
};

// Response slots, numbered 1 to 8.
inline constexpr int kOkSlot = 1, kConnectSlot = 2, kBusySlot = 3, kVoiceSlot = 4, kNoCarrierSlot = 5,
                     kNoDialToneSlot = 6, kErrorSlot = 7, kRingSlot = 8;

// The engine states.
enum : int {
  mstIdle = 0,
  mstCommand = 1,
  mstDialing = 2,
  mstWaitSpeed = 3,
  mstReadSpeed = 4,
  mstAnswering = 5,
  mstWaitRings = 6,
  mstWaitFeatures = 7
};

struct TModemRec {
  TModemRec() = default;
  TModemRec(const TModemRec&) = delete;
  TModemRec& operator=(const TModemRec&) = delete;

  std::string InitCmd, DialCmd, DialTerm, DialCancel, HangupCmd, ConfigCmd, AnswerCmd;
  std::array<TModemSlot, 8> Responses;  // slot n at index n - 1
  std::int32_t NumErrCorrectionTags = 0;
  std::array<TModemSlot, kModemMaxTags> ErrCorrectionTags;
  std::int32_t NumDataCompressionTags = 0;
  std::array<TModemSlot, kModemMaxTags> DataCompressionTags;
  std::uint32_t LastMessage = 0;

  std::uint32_t DialTimeout = 60;    // seconds
  std::uint32_t AnswerTimeout = 60;  // seconds
  std::uint32_t DelayFactor = 2;     // ticks, as every time below
  std::uint32_t CmdTimeout = 182;
  std::uint32_t DTRDropHold = 8;
  std::uint32_t CharDelay = 0;
  std::uint32_t TildeDelay = 9;
  std::uint32_t RingWaitTimeout = 182;
  std::uint32_t FeatureWait = 9;
  std::uint32_t SpeedWait = 36;

  std::weak_ptr<serial::TLkBaseDispatcher> Dispatcher;  // the port's, not owned
  bool LockDTE = false;
  std::vector<std::shared_ptr<TModemHandler>> Handlers;  // newest first
  bool Started = false;
  int State = mstIdle;
  std::uint32_t Timer = 0;
  char SpeedBuffer[13] = {};
  int SpeedCount = 0;
  bool GotErrCorrection = false, GotDataCompression = false;
  std::int32_t ConnectSpeed = 0;
  std::int32_t Countdown = 0;
  std::int32_t RingCount = 0, RingsLeft = 0;
  tk::Component* Owner = nullptr;
  bool ComponentHandlers = false;
  std::string LastResponse;  // at most 255 characters
  bool LastResponseComplete = false;

  std::recursive_mutex Lock;
  // Set while an operation sends its command: responses count only once its last character is out,
  // so the trigger handler ignores what comes before (the echo, the OK of an escape sequence).
  bool Sending = false;
  // Bumped by every operation that starts or ends a wait: a sender that ran the message loop finds out
  // whether its wait was ended meanwhile.
  std::uint64_t Attempt = 0;
  // Counts engine operations whose messages the handler has dealt with (waits end when nothing moves).
  std::uint64_t Progress = 0;

  // Users of the record on all threads and whether the last one frees it (guarded by the engine's
  // registry lock).
  int Uses = 0;
  bool FreePending = false;
};

// Which command or response string mSetModemText replaces.
enum TModemText {
  mtInitCmd,
  mtDialCmd,
  mtDialTerm,
  mtDialCancel,
  mtHangupCmd,
  mtConfigCmd,
  mtAnswerCmd,
  mtOkMsg,
  mtConnectMsg,
  mtBusyMsg,
  mtVoiceMsg,
  mtNoCarrierMsg,
  mtNoDialToneMsg,
  mtErrorMsg,
  mtRingMsg
};

using DispatcherPtr = std::shared_ptr<serial::TLkBaseDispatcher>;

std::int32_t mInitModem(TModemRec*& rec, const DispatcherPtr& dispatcher, const TModemData& data);
std::int32_t mInitModemComponent(TModemRec*& rec, const DispatcherPtr& dispatcher, const TModemData& data);
std::int32_t mDoneModem(TModemRec*& rec);
std::int32_t mStartModem(TModemRec* rec);
std::int32_t mStopModem(TModemRec* rec);
std::int32_t mRegisterModemHandler(TModemRec* rec, serial::NotifyTarget* window, TModemProc proc);
std::int32_t mDeregisterModemHandler(TModemRec* rec, serial::NotifyTarget* window, TModemProc proc);

std::int32_t mPutModemCommand(TModemRec* rec, const std::string& command);
std::int32_t mInitializeModem(TModemRec* rec);
std::int32_t mConfigureModem(TModemRec* rec);
std::int32_t mDialModem(TModemRec* rec, const std::string& number);
std::int32_t mAnswerModem(TModemRec* rec);
std::int32_t mAutoAnswerModem(TModemRec* rec, std::int32_t rings);
std::int32_t mHangupModem(TModemRec* rec);
std::int32_t mCancelDialAnswer(TModemRec* rec);
std::int32_t mExtendConnectAttempt(TModemRec* rec, std::int32_t seconds);
bool mIsAttemptingConnect(TModemRec* rec);
bool mAllFeatureWaitOver(TModemRec* rec);
// Both run the window message loop until the engine is idle (all features in); -1003 when the
// application quits, -4006 when the engine stops moving for longer than any of its waits can last.
std::int32_t mWaitOnFeatures(TModemRec* rec);
std::int32_t mWaitOnResponse(TModemRec* rec);

std::int32_t mGetConnectSpeed(TModemRec* rec);
std::uint32_t mGetLastMessage(TModemRec* rec);
bool mModemStarted(TModemRec* rec);
DispatcherPtr mGetComHandle(TModemRec* rec);
std::string mGetLastResponse(TModemRec* rec);

void mSetModemDialTimeout(TModemRec* rec, std::uint32_t seconds);
std::uint32_t mGetModemDialTimeout(TModemRec* rec);
void mSetModemAnswerTimeout(TModemRec* rec, std::uint32_t seconds);
void mSetModemDelayFactor(TModemRec* rec, std::uint32_t ticks);
void mSetModemCmdTimeout(TModemRec* rec, std::uint32_t ticks);
void mSetModemDTRDropHold(TModemRec* rec, std::uint32_t ticks);
void mSetModemCharDelay(TModemRec* rec, std::uint32_t ticks);
void mSetTildeDelay(TModemRec* rec, std::uint32_t ticks);
void mSetRingWaitTimeout(TModemRec* rec, std::uint32_t ticks);
void mSetModemLockDTE(TModemRec* rec, bool lock);
// Replace a string or the feature tags of an idle engine: -4002 while it waits.
std::int32_t mSetModemText(TModemRec* rec, TModemText which, const std::string& text);
std::int32_t mSetModemTags(TModemRec* rec, const TModemTagList& errorCorrection, const TModemTagList& compression);

// The bytes a command string puts on the line, with 0x100 standing for each "~" pause (for tests and
// the simulated modem's expectations).
std::vector<int> ModemCommandBytes(const std::string& command);

}  // namespace telephony
