#pragma once
// The files of one project share a base name: the System Map tree (.prj), the program (.pgm) and the
// touch-screen objects (.tch). Saves write the names as the project commands spell them unless a file of
// that name exists in another case, which they replace; reads look for ".PGM" and ".TCH" and find the file
// whatever the case of its name.
#include <string>
#include <vector>

struct ProjectFileSet {
  std::string ProjectPath;  // full path of the .prj file
  std::string ProjectName;  // its file-name part
  std::string ProjectDir;   // its directory part, with the trailing separator

  // At start the project is "temp.prj" in the current directory.
  ProjectFileSet() : ProjectFileSet("temp.prj") {}
  explicit ProjectFileSet(const std::string& path) { SetPath(path); }
  void SetPath(const std::string& path);

  // ".prj" (the project's own file when it exists) and ".pgm" (the file PgmReadPath finds, when it exists):
  // a save replaces the file of the name in whatever case it exists.
  std::string PrjPath() const;
  std::string PgmSavePath() const;
  // The name the table's writer uses: the file TchReadPath finds, when it exists, else ".TCH".
  std::string TchSavePath() const;
  // Every file a project save writes, in the order it writes them: .pgm, .tch, .prj.
  std::vector<std::string> SavePaths() const;
  // Whether a save of `other` goes over this project's own files (its .prj is the same file).
  bool SameProject(const ProjectFileSet& other) const;
  // The existing file named with ".PGM" / ".TCH" in any case, else that name itself.
  std::string PgmReadPath() const;
  std::string TchReadPath() const;
  // The listing's proposed name: ProjectName with ".txt".
  std::string ListingName() const;
};
