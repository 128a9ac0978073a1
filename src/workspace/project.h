#pragma once
// The project as one object, with no window in it: the program, the System Map tree, the touch-screen
// object table and the ASCII messages, the paths of the project's files, the three project files, the
// icon compile and what is unsaved. The start-up makes one and hands it to the windows, which show it and
// edit it; the downloads read it. Errors come back as the text the windows show.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "program/program_store.h"
#include "project/ascii_messages.h"
#include "project/comms_log.h"
#include "project/icon_image.h"
#include "project/name_table.h"
#include "project/system_map_tree.h"
#include "project/touch_screen_table.h"
#include "workspace/project_file_set.h"

namespace workspace {

class Project {
 public:
  // `names` is the table rebuilt from the tree, which the windows' lists read.
  explicit Project(project::NameTable& names = project::SharedNameTable());
  Project(const Project&) = delete;
  Project& operator=(const Project&) = delete;

  ProgramStore Program;
  project::SystemMapTree Tree;
  TouchScreenTable TouchTable;
  project::AsciiMessageTable AsciiMessages;
  // ProjectPath ("temp.prj" at start), ProjectName, ProjectDir.
  ProjectFileSet Files;
  // The loader used for icon files; tests may replace it.
  project::IconLoader IconLoader = project::LoadIconBitmap;

  project::NameTable& Names() const { return names_; }
  void RefreshNames() { project::RefreshNameTable(Tree, names_); }
  // A move to another project's files forgets UnreadFiles.
  void SetProjectPath(const std::string& path);
  // Files of the project that were not read (the open failed on them, or the start-up or another name was
  // opened): they hold what the user never saw here, so a save replaces them only once the user agreed. A file
  // leaves the list when a save has written it.
  std::vector<std::string> UnreadFiles;

  // Set by every change to the program and cleared only by a successful save or load of it. The close
  // and open questions ask through HasUnsavedChanges; `Program.Modified` keeps its narrower meaning for
  // the wizard.
  bool Unsaved = false;
  // Unsaved, or the program differs from what was last saved or loaded (the Control Wizard changes lines
  // without the flag).
  bool HasUnsavedChanges() const;
  // After a successful save or load: the program as it now is on disk, and no unsaved change.
  void ProgramSaved();
  // The System Map is saved only with the project.
  bool MapChangedSinceSaved() const { return Tree.ChangedSinceSaved(); }

  // The default tree, written to ProjectPath (one blank per level) and made the project's tree, its
  // names rebuilt. The tree is built even when the file cannot be written; then the project has no path
  // and the result is "File Error: " and the reason.
  std::string GenerateDefaultMap();
  // Reads a ".prj": on success the tree is replaced, the paths are set and the names rebuilt. A damaged
  // or unreadable file changes nothing and comes back as the message naming its line.
  std::string LoadMap(const std::string& path);
  // Writes the tree with TAB indentation; a written tree counts as saved.
  std::string SaveMap(const std::string& path);

  // New Project: the project moves to `path`, its default map is written there, and the program, the
  // touch-screen objects and the ASCII messages are emptied, the program counting as unsaved. The caller
  // has asked about the files of `path` already. When the map cannot be written only the map is new
  // (GenerateDefaultMap) and its error comes back.
  std::string NewProject(const std::string& path);
  // Save Project: the program (.pgm), the touch-screen objects (.tch) and the map (.prj), in that order,
  // to the names of Files.SavePaths(), each attempted whatever became of the one before. The errors come
  // back in that order.
  std::vector<std::string> Save();
  // Open Project: the map first (an error there stops everything), then the touch-screen objects (an
  // error leaves the table as it was and the program is still read), then the program when its file
  // exists (an error leaves the program as it was). A file there that could not be read goes into
  // UnreadFiles, and so does the project's .prj when the map was opened under another name.
  struct OpenResult {
    std::string MapError;
    std::string TouchError;
    bool ProgramRead = false;  // a program file was there and read
    std::string ProgramError;  // "" with ProgramRead: the program is the file's
  };
  OpenResult Open(const std::string& path);

  // Program files; a load or save that worked counts as saved.
  std::string LoadProgram(const std::string& path);
  std::string SaveProgram(const std::string& path);

  // Packs the project's icons into `imageBuffer`, logging to `log` (the communications window's list).
  project::IconCompileResult CompileIconImage(std::span<std::uint8_t> imageBuffer, project::CommsLog& log) const;

 private:
  project::NameTable& names_;
  std::array<ProgramLine, ProgramStore::kSlots> savedLines_{};
  std::vector<std::string> savedComments_ = std::vector<std::string>(ProgramStore::kSlots);
};

}  // namespace workspace
