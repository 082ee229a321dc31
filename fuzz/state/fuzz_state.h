// A private state folder for a fuzz run: MARENDO_HOME points at a fresh folder (in memory when
// /dev/shm is there, so the syncs of every write cost nothing), removed when the process ends.
#pragma once

#include <string>

namespace fuzzstate {

// The folder, made on the first call.
const std::string& Dir();

// Whole-file helpers.
bool ReadFile(const std::string& path, std::string& out);
void WriteFile(const std::string& path, const std::string& bytes);
// Removes the files of `dir` whose names start with `prefix`.
void RemoveFiles(const std::string& dir, const std::string& prefix);

inline void Check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace fuzzstate
