// A private state folder for one test: MARENDO_HOME points at a fresh temporary folder for the
// lifetime of the object, and the folder is removed afterwards.
#pragma once

#include <string>

namespace testsupport {

class TempState {
public:
    TempState();
    ~TempState();
    TempState(const TempState&) = delete;
    TempState& operator=(const TempState&) = delete;
    const std::string& Dir() const { return dir_; }
    std::string Path(const std::string& rel) const { return dir_ + "/" + rel; }

private:
    std::string dir_;
    std::string oldHome_;
    bool hadOld_ = false;
};

// Whole-file helpers for fixtures.
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);
void RemoveTree(const std::string& path);

}  // namespace testsupport
