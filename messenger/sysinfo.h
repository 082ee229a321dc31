// TSysInfo: facts about the computer, collected once at construction and offered as texts: the
// registered owner and organisation, the processor class, the system's family, version and build,
// the physical memory and the size of drive C.
#pragma once

#include <string>

#include "platform/classlib/components.h"

class TSysInfo : public TComponent {
public:
    explicit TSysInfo(TComponent* AOwner);
    const char* ClassName() const override { return "TSysInfo"; }

    // The values computed at construction. The writers keep them (a stored value has no effect).
    const std::string& Organisation() const { return FOrganisation; }
    const std::string& Owner() const { return FOwner; }
    const std::string& CPU() const { return FCPU; }
    const std::string& OperatingSystem() const { return FOperatingSystem; }
    const std::string& WinVersion() const { return FWinVersion; }
    const std::string& Build() const { return FBuild; }
    const std::string& TotalMemory() const { return FTotalMemory; }
    const std::string& DriveC() const { return FDriveC; }
    void SetOrganisation(const std::string&) {}
    void SetOwner(const std::string&) {}
    void SetCPU(const std::string&) {}
    void SetOperatingSystem(const std::string&) {}
    void SetWinVersion(const std::string&) {}
    void SetBuild(const std::string&) {}
    void SetTotalMemory(const std::string&) {}
    void SetDriveC(const std::string&) {}

private:
    std::string FOrganisation, FOwner, FCPU, FOperatingSystem, FWinVersion, FBuild, FTotalMemory, FDriveC;
};
