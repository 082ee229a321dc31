#include "messenger/sysinfo.h"

#include <cstdint>

#include "messenger/RegistryIni.h"
#include "platform/classlib/sysutils.h"
#include "platform/win/sysfacts.h"

namespace {

// The size of a drive (1 = A, 3 = C) in bytes, -1 when it cannot be read.
std::int64_t DiskSize(int drive) {
    const char root[] = {static_cast<char>('A' + drive - 1), ':', '\\', 0};
    std::uint64_t total = 0;
    if (!GetDiskFreeSpaceExA(root, nullptr, &total, nullptr)) return -1;
    return static_cast<std::int64_t>(total);
}

}  // namespace

TSysInfo::TSysInfo(TComponent* AOwner) : TComponent(AOwner) {
    OSVERSIONINFOA version;
    GetVersionExA(&version);
    switch (version.dwPlatformId) {
        case VER_PLATFORM_WIN32s: FOperatingSystem = "Windows 3.1"; break;
        case VER_PLATFORM_WIN32_WINDOWS: FOperatingSystem = "Windows 95"; break;
        case VER_PLATFORM_WIN32_NT: FOperatingSystem = "Windows NT"; break;
        default: break;
    }

    {  // HKEY_LOCAL_MACHINE is only read.
        TRegistryIniFile reg(FOperatingSystem == "Windows NT" ? "\\SOFTWARE\\Microsoft\\Windows NT"
                                                             : "\\SOFTWARE\\Microsoft\\Windows",
                             HKEY_LOCAL_MACHINE, KEY_READ);
        FOrganisation = reg.ReadString("CurrentVersion", "RegisteredOrganization", "Failure");
        FOwner = reg.ReadString("CurrentVersion", "RegisteredOwner", "Failure");
    }

    SYSTEM_INFO system;
    GetSystemInfo(&system);
    switch (system.dwProcessorType) {
        case PROCESSOR_INTEL_386: FCPU = "Intel 386"; break;
        case PROCESSOR_INTEL_486: FCPU = "Intel 486"; break;
        case PROCESSOR_INTEL_PENTIUM: FCPU = "Intel Pentium"; break;
        default: break;
    }

    FWinVersion = Format("%d.%d", {static_cast<std::int64_t>(version.dwMajorVersion), static_cast<std::int64_t>(version.dwMinorVersion)});
    FBuild = Format("%d", {static_cast<std::int64_t>(version.dwBuildNumber & 0xFFFF)});

    MEMORYSTATUS memory;
    GlobalMemoryStatus(&memory);
    FTotalMemory = Format("%d KB", {static_cast<std::int64_t>(memory.dwTotalPhys / 1024)});

    const std::int64_t drive = DiskSize(3);
    if (drive != -1) FDriveC = Format("%d MB", {drive / 1024 / 1024});
}
