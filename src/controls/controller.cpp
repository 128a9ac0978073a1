#include "controls/controller.h"

#include "controls/messages.h"
#include "controls/misc.h"
#include "platform/ui.h"
#include "tk/exception_guard.h"
#include "tk/filer.h"

namespace controls {

namespace {

struct OptionName {
  TVxBaseEFOption Option;
  const char* Name;
};
constexpr OptionName kOptionNames[] = {
    {efoAutoAdvanceChar, "efoAutoAdvanceChar"},
    {efoAutoAdvanceLeftRight, "efoAutoAdvanceLeftRight"},
    {efoAutoAdvanceUpDown, "efoAutoAdvanceUpDown"},
    {efoAutoSelect, "efoAutoSelect"},
    {efoBeepOnError, "efoBeepOnError"},
    {efoInsertPushes, "efoInsertPushes"},
};

std::string OptionsText(TVxBaseEFOptions options) {
  std::string text;
  for (const OptionName& o : kOptionNames) {
    if (!(options & o.Option)) continue;
    if (!text.empty()) text += ',';
    text += o.Name;
  }
  return text;
}

// The own flags, as the original's Visible and Enabled: not whether the parents show.
bool ShownAndEnabled(const QWidget* w) { return !w->isHidden() && !w->testAttribute(Qt::WA_Disabled); }

bool CanFocus(const QWidget* w) { return w->isVisible() && w->isEnabled() && w->focusPolicy() != Qt::NoFocus; }

// Every component `parent` owns, depth first; `visit` answers whether to go on, and `descend` whether to
// walk into what the component owns.
template <class Visit>
bool WalkOwned(tk::Component* parent, Visit&& visit) {
  for (int i = 0; i < parent->ComponentCount(); ++i) {
    tk::Component* c = parent->Components(i);
    bool descend = true;
    if (!visit(c, descend)) return false;
    if (descend && !WalkOwned(c, visit)) return false;
  }
  return true;
}

const bool kRegistered =
    (tk::RegisterClass("TVxController", [](tk::Component* owner) { return new TVxController(owner); }), true);

}  // namespace

TVxController::TVxController(tk::Component* owner)
    : TVxComponent(owner),
      entryCommands_(std::make_unique<TVxCommandProcessor>()),
      timerPool_(std::make_unique<TVxTimerPool>(nullptr)),
      epoch_(DefaultEpoch()) {
  timerPool_->OnAllTriggers = TVxTriggerEvent::Method(this, &TVxController::DoOnTimerTrigger);
  Announce();
}

TVxController::~TVxController() {
  entryCommands_.reset();
  timerPool_.reset();
  window_.reset();
}

tk::HiddenWindow* TVxController::Handle() {
  if (!window_) window_ = std::make_unique<tk::HiddenWindow>([this](tk::Message& m) { WindowProc(m); });
  return window_.get();
}

std::int32_t TVxController::Epoch() const {
  std::int32_t epoch = epoch_;
  if (OnGetEpoch) OnGetEpoch(const_cast<TVxController*>(this), epoch);
  return epoch;
}

void TVxController::SetEpoch(std::int32_t epoch) {
  if (epoch >= 1600 && epoch <= 3999 && epoch != epoch_) epoch_ = epoch;
}

void TVxController::DelayNotify(tk::Component* sender, std::uint16_t notifyCode) {
  if (OnDelayNotify) tk::PostMessage(Handle(), OM_DELAYNOTIFY, notifyCode, sender);
}

void TVxController::DoOnPreEdit(tk::Component* sender, QWidget* control) {
  PostEditNotice(OM_PREEDIT, sender, control);
}

void TVxController::DoOnPostEdit(tk::Component* sender, QWidget* control) {
  PostEditNotice(OM_POSTEDIT, sender, control);
}

void TVxController::PostEditNotice(std::uint32_t msg, tk::Component* sender, QWidget* control) {
  std::uintptr_t handle = 0;
  if (control) {
    handle = nextNotice_++;
    noticeControls_[handle] = control;
  }
  tk::PostMessage(Handle(), msg, handle, sender);
}

void TVxController::DoOnError(tk::Component* sender, std::uint16_t errorCode, const std::string& message) {
  if (OnError)
    OnError(sender, errorCode, message);
  else
    platform::Ui().MessageBox(message, "Error", platform::MsgButtons::Ok, platform::MsgKind::Error);
}

void TVxController::DoOnTimerTrigger(tk::Component* sender, std::int32_t handle, std::uint32_t interval,
                                     std::int32_t elapsed) {
  if (OnTimerTrigger) OnTimerTrigger(sender, handle, interval, elapsed);
}

bool TVxController::IsSpecialButton(QWidget* control) {
  bool special = false;
  if (OnIsSpecialControl) OnIsSpecialControl(this, control, special);
  return special;
}

tk::Form* TVxController::OwnerForm() const { return dynamic_cast<tk::Form*>(Owner()); }

void TVxController::ReportAndFocus(tk::Component* field, IVxEntryField& entry, bool report, bool focus) {
  if (errorPending_) return;
  if (report) tk::PostMessage(dynamic_cast<QObject*>(field), OM_REPORTERROR, entry.LastError());
  if (focus) {
    tk::PostMessage(Handle(), OM_SETFOCUS, 0, field);
    errorPending_ = true;
  }
}

tk::Component* TVxController::ValidateEntryFieldsEx(bool report, bool focus) {
  tk::Form* form = OwnerForm();
  if (!form) return nullptr;
  tk::Component* invalid = nullptr;
  WalkOwned(form, [&](tk::Component* c, bool& descend) {
    auto* entry = dynamic_cast<IVxEntryField*>(c);
    if (!entry) return true;
    if (auto* w = dynamic_cast<QWidget*>(c); w && !ShownAndEnabled(w)) {
      descend = false;
      return true;
    }
    if (entry->ValidateContents(false) == 0) return true;
    if (!invalid) invalid = c;
    if (!report && !focus) return true;
    ReportAndFocus(c, *entry, report, focus);
    return false;
  });
  return invalid;
}

tk::Component* TVxController::ValidateTheseEntryFields(const std::vector<tk::Component*>& fields) {
  for (tk::Component* c : fields) {
    auto* entry = dynamic_cast<IVxEntryField*>(c);
    if (!entry || entry->ValidateContents(false) == 0) continue;
    ReportAndFocus(c, *entry, true, true);
    return c;
  }
  return nullptr;
}

void TVxController::MarkAsUninitialized(bool uninitialized) {
  tk::Form* form = OwnerForm();
  if (!form) return;
  WalkOwned(form, [&](tk::Component* c, bool&) {
    if (auto* entry = dynamic_cast<IVxEntryField*>(c)) entry->SetUninitialized(uninitialized);
    return true;
  });
}

void TVxController::WindowProc(tk::Message& message) {
  tk::Guarded([&] {
    auto* sender = reinterpret_cast<tk::Component*>(message.LParam);
    switch (message.Msg) {
      case OM_SETFOCUS: {
        auto* w = dynamic_cast<QWidget*>(sender);
        if (!w) return;
        if (auto* control = dynamic_cast<tk::ControlT<QWidget>*>(w))
          control->SetVisible(true);
        else
          w->show();
        if (CanFocus(w)) w->setFocus();
        return;
      }
      case OM_PREEDIT:
      case OM_POSTEDIT: {
        QWidget* control = nullptr;
        if (auto it = noticeControls_.find(message.WParam); it != noticeControls_.end()) {
          control = it->second;
          noticeControls_.erase(it);
        }
        const VxEditEvent& event = message.Msg == OM_PREEDIT ? OnPreEdit : OnPostEdit;
        if (event) event(sender, control);
        return;
      }
      case OM_DELAYNOTIFY:
        if (OnDelayNotify) OnDelayNotify(sender, static_cast<std::uint16_t>(message.WParam));
        return;
      default:
        window_->DefaultHandler(message);
    }
  });
}

std::string TVxController::EntryOptionsText() const { return OptionsText(entryOptions_); }

void TVxController::SetEntryOptionsText(const std::string& text) {
  TVxBaseEFOptions options = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    const std::string name = TrimRight(TrimLeft(text.substr(start, end - start)));
    const OptionName* found = nullptr;
    for (const OptionName& o : kOptionNames)
      if (name == o.Name) found = &o;
    if (!found) throw tk::EReadError("Invalid property value");
    options |= found->Option;
    start = end + 1;
  }
  entryOptions_ = options;
}

void TVxController::GetProperties(tk::PropertyList& list) const {
  TVxComponent::GetProperties(list);
  using C = TVxController;
  list.push_back(tk::MakeProperty<C>("EntryOptions", &C::EntryOptionsText, &C::SetEntryOptionsText,
                                     tk::Value(OptionsText(DefaultEntryOptions))));
  list.push_back(tk::MakeProperty<C>("Epoch", &C::Epoch, &C::SetEpoch));
}

void TVxController::DefineProperties(tk::Filer& filer) {
  TVxComponent::DefineProperties(filer);
  entryCommands_->DefineProperties(filer, "EntryCommands.");
}

}  // namespace controls
