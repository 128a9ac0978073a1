#include "program/project_file_set.h"

#include "platform/paths.h"

void ProjectFileSet::SetPath(const std::string& path) {
  ProjectPath = path;
  ProjectName = platform::ExtractFileName(path);
  ProjectDir = platform::ExtractFilePath(path);
}

// A save replaces the file of that name in whatever case it exists, as a case-blind file system would,
// rather than leaving a second file beside it that a later read might not pick.
std::string ProjectFileSet::PrjPath() const {
  return platform::ResolveFileCase(platform::ChangeFileExt(ProjectPath, ".prj"));
}
std::string ProjectFileSet::PgmSavePath() const {
  return platform::ResolveFileCase(platform::ChangeFileExt(ProjectPath, ".pgm"));
}
std::string ProjectFileSet::TchSavePath() const { return platform::ChangeFileExt(ProjectPath, ".tch"); }
std::string ProjectFileSet::PgmReadPath() const {
  return platform::ResolveFileCase(platform::ChangeFileExt(ProjectPath, ".PGM"));
}
std::string ProjectFileSet::TchReadPath() const {
  return platform::ResolveFileCase(platform::ChangeFileExt(ProjectPath, ".TCH"));
}
std::string ProjectFileSet::ListingName() const { return platform::ChangeFileExt(ProjectName, ".txt"); }
