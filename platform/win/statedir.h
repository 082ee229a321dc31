// Where the programs keep their state on Linux.
//
// One per-user folder holds everything: $MARENDO_HOME when set (tests, portable use), else
// $XDG_STATE_HOME/marendo, else ~/.local/state/marendo. Inside it:
//   registry/       the registry hives as REGEDIT4 text files
//   windows/        the stand-in Windows directory (bare ini file names land here)
//   drive_c/ ...    what the programs call c:\ (and likewise other drive letters)
//   cache/          caches
#pragma once

#include <string>

namespace win {

// The state folder, created (mode 0700) on first use. Re-reads the environment on every call, so a
// test can point it somewhere else with setenv.
std::string StateDir();
std::string StateSubdir(const std::string& name);  // created on first use
std::string WindowsDir();                          // StateSubdir("windows")

// Turns a program path (Windows-1254, backslashes, maybe a drive letter) into a Linux path (UTF-8):
// "c:\yenilik" -> <state>/drive_c/yenilik; "a\b.ini" -> "a/b.ini"; absolute Linux paths keep their
// folders. The letters go through the code page's one file-name conversion (cp1254::PathToUtf8).
std::string LocalPath(const std::string& programPath);

// Creates the folders of a path (like mkdir -p); true when it exists afterwards.
bool MakeDirs(const std::string& dir, unsigned mode = 0700);

// Writes a whole file atomically: temporary file in the same folder, fsync, rename, fsync of the folder.
// Returns false (errno set) on any failure, leaving the old file as it was.
bool WriteFileAtomic(const std::string& path, const std::string& bytes, unsigned mode = 0600);
// Removes from `dir` the temporary files of WriteFileAtomic whose writer ended before its rename (a
// process killed mid-write): "<name>.tmp.<pid>" where no process <pid> runs now. Those of running
// processes, this one included, stay (their writes may be under way). Returns how many it removed.
int RemoveStaleTemporaries(const std::string& dir);
// Reads a whole file; false when it cannot be read.
bool ReadFile(const std::string& path, std::string& bytes);

}  // namespace win
