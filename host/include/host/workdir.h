// A fresh working directory for one run of a plug-in, removed afterwards.
#pragma once

#include <string>
#include <vector>

namespace host {

class WorkDir {
 public:
  WorkDir();   // creates a new folder under the temporary folder and enters it
  ~WorkDir();  // leaves it and removes it with its files
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  const std::string& path() const { return path_; }
  // Names of the files in the folder, sorted.
  std::vector<std::string> Files() const;
  bool Write(const std::string& name, const std::string& bytes) const;
  bool Read(const std::string& name, std::string* bytes) const;

 private:
  std::string path_;
  std::string previous_;
};

// Names of the entries of a folder, sorted.
std::vector<std::string> ListFiles(const std::string& dir);

}  // namespace host
