#pragma once
// What the project's windows (the editor, the touch-screen designer, the ASCII message window) ask of the
// communications side: the settings reload, the data directory, attaching to the controller, the requests
// they post, the project download dialog, the settings window and the log's "Errors" box. The
// communications window implements it; until one is installed a stand-in reloads nothing, uses the current
// directory and posts nothing.
#include <functional>
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
  // What an attach (or, `exit`, the program's end) must ask before it ends the work running on the
  // connection or holding its port, naming it and what ending it does; empty when nothing needs asking.
  virtual std::string EndQuestion(bool exit) const = 0;
  // Whether an attach now goes on with the running connection (see CommsEngine::Reconnects).
  virtual bool Reconnects() const = 0;
  // The program ends (the user agreed): the connection ends as "&Close" ends it, its running work through its
  // own end, and work holding the port is cut. False when nothing runs; else `ended` is called once the
  // connection has ended.
  virtual bool EndForExit(std::function<void()> ended) = 0;
  // The touch-screen download at the engine's next idle pass; refused and told while one asked waits.
  virtual void RequestTouchLoad() = 0;
  // The ASCII table to the master controller (destination 0) or to module 1..127.
  virtual void RequestAsciiTable(int destination) = 0;
};

// Attaching, or the program's end (`exit`), ends what runs first: the user is asked, naming it and what
// ending it does (a transfer cut short, a mode's end step, a restart waited for). True when nothing needs
// asking or the user agreed, to what runs once the answer is in (AgreedToWhatRuns).
bool EndAllowed(const CommsLink& link, bool exit);
// The same after other questions: `agreed` is the end question the user agreed to before (empty: none), and
// becomes the one agreed to now.
bool EndAllowed(const CommsLink& link, bool exit, std::string& agreed);
// The question asked with OK and Cancel: true on OK, or when there is no question.
bool Agreed(const std::string& question);
// Asks what `question` gives, unless it is `agreed`, the question the user agreed to already. Once it is
// answered, what it gives is asked again until it is the one agreed to or none: while the box was open the
// work it named may have ended or other work started, and OK ends only the work it named. True when the user
// agreed to what runs now (kept in `agreed`), or nothing needs asking.
bool AgreedToWhatRuns(const std::function<std::string()>& question, std::string& agreed);
bool AgreedToWhatRuns(const std::function<std::string()>& question);
bool AttachAllowed(const CommsLink& link);

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
  std::string EndQuestion(bool) const override { return {}; }
  bool Reconnects() const override { return false; }
  bool EndForExit(std::function<void()>) override { return false; }
  void RequestTouchLoad() override {}
  void RequestAsciiTable(int) override {}
};

}  // namespace gui
