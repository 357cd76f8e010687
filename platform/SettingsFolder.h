#pragma once

#include <string>
#include <vector>

// Where the tool keeps its settings files. A program folder the user may write (a build tree,
// the ZIP unpacked in the user's own folders) keeps them beside the executable; an installed
// program's folder belongs to the administrator, so they go to the user's configuration
// folder instead.
namespace quillstone {

// The file the start-up probe makes and removes again in the program folder.
inline constexpr const char* WriteProbeFileName = "quillstone-write-probe.tmp";

// Whether a new file can be made in `folder` (UTF-8, ending with the separator): tries to
// create the probe file there and removes it again. Decided by trying, not from the path, as
// permissions, read-only media and access rules all show only then.
bool FolderAcceptsNewFiles(const std::string& folder);

// The user's own configuration folder for this tool, ending with the separator:
// $XDG_CONFIG_HOME/quillstone/ (else $HOME/.config/quillstone/) on Linux,
// %APPDATA%\Quillstone\ on Windows. Empty when the system names none.
std::string UserSettingsDirectory();

// Creates `folder` and any missing parent (private to the user where the system has modes);
// true when it exists as a folder afterwards.
bool CreateFolderPath(const std::string& folder);

// Takes group and other access away from `folder` (UTF-8, ending with the separator) where the
// system has modes and the user owns it; true when it is the user's alone afterwards. On
// Windows the folder in the user's profile inherits the profile's private access list.
bool MakeFolderPrivate(const std::string& folder);

// The folder of the settings files, chosen once at start: `programDirectory` when a new file
// can be made in it (or no user folder is known), else `userDirectory`, created when missing
// and made private (it holds the Wi-Fi passphrase; new files in it are the user's alone).
// There, each of `fileNames` that does not exist yet starts as a copy of the program folder's
// file of that name, if any, so that settings an administrator ships are the starting values.
std::string ChooseSettingsDirectory(const std::string& programDirectory,
                                    const std::string& userDirectory,
                                    const std::vector<std::string>& fileNames);

}  // namespace quillstone
