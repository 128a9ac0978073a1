#include "workspace/project.h"

#include <utility>

#include "platform/paths.h"
#include "program/program_files.h"
#include "project/prj_file.h"

namespace workspace {

Project::Project(project::NameTable& names) : names_(names) {}

void Project::SetProjectPath(const std::string& path) {
  if (!ProjectFileSet(path).SameProject(Files)) UnreadFiles.clear();
  Files.SetPath(path);
}

bool Project::HasUnsavedChanges() const {
  return Unsaved || Program.Lines != savedLines_ || Program.Comments != savedComments_;
}

void Project::ProgramSaved() {
  Unsaved = false;
  savedLines_ = Program.Lines;
  savedComments_ = Program.Comments;
}

std::string Project::GenerateDefaultMap() {
  project::SystemMapTree tree = project::SystemMapTree::Default();
  const std::string error = project::SavePrjFile(tree, Files.ProjectPath, ' ');
  Tree.Assign(std::move(tree));
  RefreshNames();
  if (!error.empty()) {
    SetProjectPath("");
    return "File Error: " + error;
  }
  // Nothing was read from the project's other files: any of them that exists holds what the user never saw.
  UnreadFiles.clear();
  for (const std::string& file : {Files.PgmSavePath(), Files.TchSavePath()})
    if (platform::FileExists(file)) UnreadFiles.push_back(file);
  return error;
}

std::string Project::LoadMap(const std::string& path) {
  project::TreeParseResult result = project::LoadPrjFile(path);
  if (!result.Tree) return project::PrjErrorMessage(path, result);
  SetProjectPath(path);
  Tree.Assign(std::move(*result.Tree));
  RefreshNames();
  return std::string();
}

std::string Project::SaveMap(const std::string& path) {
  std::string error = project::SavePrjFile(Tree, path, '\t');
  if (error.empty()) Tree.MarkSaved();
  return error;
}

std::string Project::NewProject(const std::string& path) {
  SetProjectPath(path);
  std::string error = GenerateDefaultMap();
  if (!error.empty()) return error;
  UnreadFiles.clear();
  Program.ClearProgram();
  Unsaved = true;
  TouchTable.ClearAllObjects();
  AsciiMessages.Clear();
  return error;
}

std::vector<std::string> Project::Save() {
  // The names the save question was asked about, so the two cannot part.
  const std::vector<std::string> paths = Files.SavePaths();
  const std::string results[] = {SaveProgram(paths[0]), TouchTable.SaveTchFile(paths[1]), SaveMap(paths[2])};
  std::vector<std::string> errors;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (results[i].empty())
      std::erase_if(UnreadFiles, [&](const std::string& file) { return platform::SameFile(file, paths[i]); });
    else
      errors.push_back(results[i]);
  }
  return errors;
}

Project::OpenResult Project::Open(const std::string& path) {
  OpenResult result;
  result.MapError = LoadMap(platform::ResolveFileCase(path));
  if (!result.MapError.empty()) return result;
  const std::string touch = Files.TchReadPath();
  result.TouchError = TouchTable.LoadTchFile(touch);
  const std::string program = Files.PgmReadPath();
  if (platform::FileExists(program)) {
    result.ProgramRead = true;
    result.ProgramError = LoadProgram(program);
  }
  // In the order a save writes them.
  UnreadFiles.clear();
  if (!result.ProgramError.empty()) UnreadFiles.push_back(program);
  if (!result.TouchError.empty() && platform::FileExists(touch)) UnreadFiles.push_back(touch);
  // A map opened under another name leaves the project's own .prj unread.
  const std::string map = Files.PrjPath();
  if (platform::FileExists(map) && !platform::SameFile(map, Files.ProjectPath)) UnreadFiles.push_back(map);
  return result;
}

std::string Project::LoadProgram(const std::string& path) {
  std::string error = LoadPGMFile(Program, path);
  if (error.empty()) ProgramSaved();
  return error;
}

std::string Project::SaveProgram(const std::string& path) {
  std::string error = SavePGMFile(Program, path);
  if (error.empty()) ProgramSaved();
  return error;
}

project::IconCompileResult Project::CompileIconImage(std::span<std::uint8_t> imageBuffer,
                                                     project::CommsLog& log) const {
  return project::CompileIconImage(Tree, Files.ProjectDir, IconLoader, imageBuffer, log);
}

}  // namespace workspace
