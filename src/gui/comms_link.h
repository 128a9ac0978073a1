#pragma once
// What the project's windows (the editor, the touch-screen designer, the ASCII message window) ask of the
// communications side: the settings reload, the data directory, attaching to the controller, the requests
// they post, the project download dialog, the settings window and the log's "Errors" box. The
// communications window implements it; until one is installed a stand-in reloads nothing, uses the current
// directory and posts nothing.
#include <string>

namespace gui {

class CommsLink {
 public:
  virtual ~CommsLink() = default;
  // Reloads the settings (read_configfile). A failed reload has already been reported; the command stops.
  virtual bool ReadConfigFile() = 0;
  // The data directory from the last settings reload.
  virtual std::string CurrentDirectory() const = 0;
  // Shows the communications window, starts its connect sequence and its timer, whatever its state: a
  // connection the user has closed, or one on another road than the stored one, ends first.
  virtual void Attach() = 0;
  // Shows the project download window, which starts the download.
  virtual void ShowDownloadProject() = 0;
  // Shows the settings window modally.
  virtual void ShowSetup() = 0;
  // The log's "Errors" box: while ticked, the grid's Reference column can be selected.
  virtual bool CommsDetail() const = 0;
  // Whether the engine runs (its state is not 0).
  virtual bool Attached() const = 0;
  // Whether a transfer to or from the controller is under way (or asked for while connected).
  virtual bool DownloadRunning() const = 0;
  // The transfer an attach now would cut while it writes the controller, by name; empty when none.
  virtual std::string TransferWriting() const = 0;
  // Whether an attach now goes on with the running connection (see CommsEngine::Reconnects).
  virtual bool Reconnects() const = 0;
  // The work that holds the port outside a connection (the pager's modem set-up), by name while it runs;
  // empty when none. An attach cuts it short.
  virtual std::string PortWorkRunning() const = 0;
  // Cuts that work short (the user agreed); its window says so.
  virtual void CutPortWork() = 0;
  // The touch-screen download at the engine's next idle pass.
  virtual void RequestTouchLoad() = 0;
  // The ASCII table to the master controller (destination 0) or to module 1..127.
  virtual void RequestAsciiTable(int destination) = 0;
};

// Attaching cuts what runs short: with a transfer writing the controller (perhaps on after "&Close"), the
// user is asked first, naming it, as the controller would be left stopped or half written; the same with work
// holding the port (PortWorkMayEnd).
bool AttachAllowed(const CommsLink& link);
// With work holding the port running, asks whether `doing` ("attaching", "closing") may cut it short, naming it;
// `verb` ends the question ("Still attach?"). True when nothing runs or the user agreed.
bool PortWorkMayEnd(const CommsLink& link, const std::string& doing, const std::string& verb);

// Used until the communications window installs itself.
class DetachedCommsLink : public CommsLink {
 public:
  bool ReadConfigFile() override { return true; }
  std::string CurrentDirectory() const override;
  void Attach() override {}
  void ShowDownloadProject() override {}
  void ShowSetup() override {}
  bool CommsDetail() const override { return false; }
  bool Attached() const override { return false; }
  bool DownloadRunning() const override { return false; }
  std::string TransferWriting() const override { return {}; }
  bool Reconnects() const override { return false; }
  std::string PortWorkRunning() const override { return {}; }
  void CutPortWork() override {}
  void RequestTouchLoad() override {}
  void RequestAsciiTable(int) override {}
};

}  // namespace gui
