#pragma once
// The one controller a form with keyboard-driven controls holds: the command processor that turns keys into
// commands, the timer pool, the entry-field options, insert mode and century window they share, the error
// and edit events, and a hidden window that runs deferred work after the current message.
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/base.h"
#include "controls/command_table.h"
#include "controls/timer_pool.h"
#include "tk/hidden_window.h"

namespace controls {

// Options all entry fields of a controller share.
enum TVxBaseEFOption : std::uint8_t {
  efoAutoAdvanceChar = 0x01,
  efoAutoAdvanceLeftRight = 0x02,
  efoAutoAdvanceUpDown = 0x04,
  efoAutoSelect = 0x08,
  efoBeepOnError = 0x10,
  efoInsertPushes = 0x20,
};
using TVxBaseEFOptions = std::uint8_t;
inline constexpr TVxBaseEFOptions DefaultEntryOptions = efoAutoSelect | efoBeepOnError | efoInsertPushes;

// What the controller asks of an entry field when it validates or resets the fields of its form. Entry
// fields implement it; the controller finds them among the form's components.
class IVxEntryField {
 public:
  virtual ~IVxEntryField() = default;
  // The field's error code, 0 when valid; posts its own report when asked to.
  virtual std::uint16_t ValidateContents(bool reportError) = 0;
  virtual std::uint16_t LastError() const = 0;
  virtual void SetUninitialized(bool value) = 0;
};

using VxErrorEvent = std::function<void(tk::Component* sender, std::uint16_t errorCode, const std::string& message)>;
using VxGetEpochEvent = std::function<void(tk::Component* sender, std::int32_t& epoch)>;
using VxDelayNotifyEvent = std::function<void(tk::Component* sender, std::uint16_t notifyCode)>;
using VxIsSpecialControlEvent = std::function<void(tk::Component* sender, QWidget* control, bool& special)>;
using VxEditEvent = std::function<void(tk::Component* sender, QWidget* control)>;

class TVxController : public TVxComponent {
 public:
  explicit TVxController(tk::Component* owner);
  ~TVxController() override;
  std::string ClassName() const override { return "TVxController"; }

  TVxCommandProcessor& EntryCommands() { return *entryCommands_; }
  TVxBaseEFOptions EntryOptions() const { return entryOptions_; }
  void SetEntryOptions(TVxBaseEFOptions options) { entryOptions_ = options; }
  // The first year of the century window for two-digit years; OnGetEpoch may change what is read.
  std::int32_t Epoch() const;
  // Only 1600 to 3999 are taken.
  void SetEpoch(std::int32_t epoch);
  // Set while the focus is on its way back to an invalid field; the entry fields clear it.
  bool ErrorPending() const { return errorPending_; }
  void SetErrorPending(bool pending) { errorPending_ = pending; }
  // Insert or overwrite, shared by every entry field of the controller.
  bool InsertMode() const { return insertMode_; }
  void SetInsertMode(bool insert) { insertMode_ = insert; }
  // The message of the last error an entry field reported; user-defined error codes show it.
  const std::string& ErrorText() const { return errorText_; }
  void SetErrorText(const std::string& text) { errorText_ = text; }
  TVxTimerPool& TimerPool() { return *timerPool_; }
  // The hidden window, made on first use.
  tk::HiddenWindow* Handle();

  // Fires OnDelayNotify after the current message, when it is assigned.
  void DelayNotify(tk::Component* sender, std::uint16_t notifyCode);
  // Fire OnPreEdit / OnPostEdit after the current message; `control` is the other control in the focus
  // change, or null.
  void DoOnPreEdit(tk::Component* sender, QWidget* control);
  void DoOnPostEdit(tk::Component* sender, QWidget* control);
  // OnError when assigned, otherwise a message box.
  void DoOnError(tk::Component* sender, std::uint16_t errorCode, const std::string& message);
  // Whether leaving a field for `control` must not report an invalid value; OnIsSpecialControl decides.
  virtual bool IsSpecialButton(QWidget* control);

  // The first invalid entry field of the form, or null. Asking to report or to focus stops the walk at that
  // field, posts its error report and brings the focus back to it, once while an error is pending.
  tk::Component* ValidateEntryFields() { return ValidateEntryFieldsEx(true, true); }
  tk::Component* ValidateEntryFieldsEx(bool report, bool focus);
  tk::Component* ValidateTheseEntryFields(const std::vector<tk::Component*>& fields);
  void MarkAsUninitialized(bool uninitialized);

  VxErrorEvent OnError;
  VxGetEpochEvent OnGetEpoch;
  VxDelayNotifyEvent OnDelayNotify;
  VxIsSpecialControlEvent OnIsSpecialControl;
  VxEditEvent OnPostEdit;
  VxEditEvent OnPreEdit;
  TVxTriggerEvent OnTimerTrigger;

  void GetProperties(tk::PropertyList& list) const override;
  void DefineProperties(tk::Filer& filer) override;
  std::string EntryOptionsText() const;
  void SetEntryOptionsText(const std::string& text);

 private:
  void DoOnTimerTrigger(tk::Component* sender, std::int32_t handle, std::uint32_t interval, std::int32_t elapsed);
  void PostEditNotice(std::uint32_t msg, tk::Component* sender, QWidget* control);
  void WindowProc(tk::Message& message);
  // Posts the report to `field` and the focus back to it, unless an error is already on its way.
  void ReportAndFocus(tk::Component* field, IVxEntryField& entry, bool report, bool focus);
  tk::Form* OwnerForm() const;

  std::unique_ptr<TVxCommandProcessor> entryCommands_;
  std::unique_ptr<TVxTimerPool> timerPool_;
  std::unique_ptr<tk::HiddenWindow> window_;
  TVxBaseEFOptions entryOptions_ = DefaultEntryOptions;
  std::int32_t epoch_;
  bool errorPending_ = false;
  bool insertMode_ = true;
  std::string errorText_;
  // The controls of posted edit notices: a control may be gone by the time its notice runs.
  std::map<std::uintptr_t, QPointer<QWidget>> noticeControls_;
  std::uintptr_t nextNotice_ = 1;
};

}  // namespace controls
