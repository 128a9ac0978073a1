#include "workspace/project_file_set.h"

#include "platform/paths.h"
#include "platform/text.h"

void ProjectFileSet::SetPath(const std::string& path) {
  ProjectPath = path;
  ProjectName = platform::ExtractFileName(path);
  ProjectDir = platform::ExtractFilePath(path);
}

// A save replaces the file of that name in whatever case it exists, as a case-blind file system would,
// rather than leaving a second file beside it that a later read might not pick. The project's own file is
// the one it was opened from.
std::string ProjectFileSet::PrjPath() const {
  const std::string named = platform::ChangeFileExt(ProjectPath, ".prj");
  if (platform::SameText(named, ProjectPath) && platform::FileExists(ProjectPath)) return ProjectPath;
  return platform::ResolveFileCase(named);
}
std::string ProjectFileSet::PgmSavePath() const {
  const std::string existing = PgmReadPath();
  return platform::FileExists(existing) ? existing : platform::ChangeFileExt(ProjectPath, ".pgm");
}
std::string ProjectFileSet::TchSavePath() const { return TchReadPath(); }
std::vector<std::string> ProjectFileSet::SavePaths() const { return {PgmSavePath(), TchSavePath(), PrjPath()}; }
bool ProjectFileSet::SameProject(const ProjectFileSet& other) const {
  return platform::SameFile(PrjPath(), other.PrjPath());
}
std::string ProjectFileSet::PgmReadPath() const {
  return platform::ResolveFileCase(platform::ChangeFileExt(ProjectPath, ".PGM"));
}
std::string ProjectFileSet::TchReadPath() const {
  return platform::ResolveFileCase(platform::ChangeFileExt(ProjectPath, ".TCH"));
}
std::string ProjectFileSet::ListingName() const { return platform::ChangeFileExt(ProjectName, ".txt"); }
