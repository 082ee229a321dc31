#include "platform/win/sysfacts.h"

#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "platform/win/statedir.h"
#include "platform/win/winbase.h"

namespace {

std::mutex gMutex;
std::optional<win::SystemFacts> gFacts;

OSVERSIONINFOA MachineVersion() {
    OSVERSIONINFOA v;
    v.dwPlatformId = VER_PLATFORM_WIN32_NT;
    utsname u{};
    if (uname(&u) == 0) {
        unsigned major = 0, minor = 0, patch = 0;
        std::sscanf(u.release, "%u.%u.%u", &major, &minor, &patch);
        v.dwMajorVersion = major;
        v.dwMinorVersion = minor;
        v.dwBuildNumber = patch & 0xFFFF;
        std::string text = std::string(u.sysname) + " " + u.release;
        std::memcpy(v.szCSDVersion, text.c_str(), std::min(text.size(), sizeof v.szCSDVersion - 1));
    }
    return v;
}

DWORD MachineProcessor() {
#if defined(__x86_64__) || defined(__i386__)
    return PROCESSOR_INTEL_PENTIUM;
#else
    return 0;
#endif
}

std::uint64_t MachineMemory() {
    long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size) : 0;
}

}  // namespace

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(gMutex);
    *info = gFacts ? gFacts->version : MachineVersion();
    info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    return TRUE;
}

void GetSystemInfo(SYSTEM_INFO* info) {
    if (!info) return;
    *info = SYSTEM_INFO{};
    long page = sysconf(_SC_PAGESIZE);
    long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    info->dwPageSize = page > 0 ? static_cast<DWORD>(page) : 4096;
    info->dwAllocationGranularity = 65536;
    info->dwNumberOfProcessors = cpus > 0 ? static_cast<DWORD>(cpus) : 1;
    info->dwActiveProcessorMask = info->dwNumberOfProcessors >= 64 ? ~DWORD_PTR{0}
                                                                    : (DWORD_PTR{1} << info->dwNumberOfProcessors) - 1;
    std::lock_guard lock(gMutex);
    info->dwProcessorType = gFacts ? gFacts->processorType : MachineProcessor();
    info->wProcessorLevel = info->dwProcessorType == PROCESSOR_INTEL_PENTIUM ? 5 : 0;
}

void GlobalMemoryStatus(MEMORYSTATUS* status) {
    if (!status) return;
    *status = MEMORYSTATUS{};
    std::lock_guard lock(gMutex);
    status->dwTotalPhys = gFacts ? gFacts->totalPhys : MachineMemory();
    long avail = sysconf(_SC_AVPHYS_PAGES), size = sysconf(_SC_PAGESIZE);
    std::uint64_t free = avail > 0 && size > 0 ? static_cast<std::uint64_t>(avail) * static_cast<std::uint64_t>(size) : 0;
    status->dwAvailPhys = free < status->dwTotalPhys ? free : status->dwTotalPhys;
    if (status->dwTotalPhys)
        status->dwMemoryLoad = static_cast<DWORD>(100 - status->dwAvailPhys * 100 / status->dwTotalPhys);
}

BOOL GetDiskFreeSpaceExA(const char* directory, std::uint64_t* freeToCaller, std::uint64_t* totalBytes,
                         std::uint64_t* totalFree) {
    if (!directory) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    {
        std::lock_guard lock(gMutex);
        if (gFacts) {
            char letter = static_cast<char>(directory[0] | 0x20);
            auto it = directory[0] && directory[1] == ':' ? gFacts->driveSizes.find(letter) : gFacts->driveSizes.end();
            if (it == gFacts->driveSizes.end()) {
                SetLastError(ERROR_PATH_NOT_FOUND);
                return FALSE;
            }
            if (freeToCaller) *freeToCaller = 0;
            if (totalBytes) *totalBytes = it->second;
            if (totalFree) *totalFree = 0;
            return TRUE;
        }
    }
    struct statvfs st{};
    if (statvfs(win::LocalPath(directory).c_str(), &st) != 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (freeToCaller) *freeToCaller = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
    if (totalBytes) *totalBytes = static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize;
    if (totalFree) *totalFree = static_cast<std::uint64_t>(st.f_bfree) * st.f_frsize;
    return TRUE;
}

namespace win {

void SetSystemFacts(const SystemFacts& facts) {
    std::lock_guard lock(gMutex);
    gFacts = facts;
}

void ClearSystemFacts() {
    std::lock_guard lock(gMutex);
    gFacts.reset();
}

}  // namespace win
