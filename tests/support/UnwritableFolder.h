#pragma once

#include <memory>
#include <string>

namespace quillstone::testing {

// While the object lives, the calling thread cannot change the files of `folder` (UTF-8, ending
// with the separator), root included. How differs per system: on Linux the folder loses its
// write permission and the thread the capability that lets root override it; on Windows every
// file in it is held open by another handle that shares reading only, as an editor or a virus
// scanner may hold it, so no file there can be replaced or removed, and the tool's start-up
// probe file is held without sharing, so its attempt to make a file there fails.
class UnwritableFolder {
 public:
  explicit UnwritableFolder(std::string folder);
  ~UnwritableFolder();
  UnwritableFolder(const UnwritableFolder&) = delete;
  UnwritableFolder& operator=(const UnwritableFolder&) = delete;

  // Whether replacing `name`, a file of the folder, through a new file and a rename fails.
  bool RefusesToReplace(const std::string& name) const;

 private:
  struct Hold;
  std::string folder_;
  std::unique_ptr<Hold> hold_;
};

}  // namespace quillstone::testing
