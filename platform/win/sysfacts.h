// Facts about the machine: the system's version record, the processor, the physical memory and
// the size of a drive.
//
// On Linux the version record is that of this platform: the NT family (platform 2) with the
// kernel's release numbers (major.minor, the third number as the build) and "Linux <release>" as
// the service text. The processor type is what a 32-bit program sees on an x86 machine (586, an
// Intel Pentium class), 0 elsewhere. A drive letter's size is that of the file system holding the
// folder that stands for the drive (win::LocalPath). Tests may replace all of these facts.
#pragma once

#include <cstdint>
#include <map>

#include "platform/win/wintypes.h"

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);  // 148
    DWORD dwMajorVersion = 0;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
    DWORD dwPlatformId = 0;
    char szCSDVersion[128] = {};
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

// FALSE (ERROR_INVALID_PARAMETER) unless dwOSVersionInfoSize is 148.
BOOL GetVersionExA(OSVERSIONINFOA* info);

constexpr DWORD PROCESSOR_INTEL_386 = 386;
constexpr DWORD PROCESSOR_INTEL_486 = 486;
constexpr DWORD PROCESSOR_INTEL_PENTIUM = 586;

struct SYSTEM_INFO {
    WORD wProcessorArchitecture = 0;
    WORD wReserved = 0;
    DWORD dwPageSize = 0;
    void* lpMinimumApplicationAddress = nullptr;
    void* lpMaximumApplicationAddress = nullptr;
    DWORD_PTR dwActiveProcessorMask = 0;
    DWORD dwNumberOfProcessors = 0;
    DWORD dwProcessorType = 0;
    DWORD dwAllocationGranularity = 0;
    WORD wProcessorLevel = 0;
    WORD wProcessorRevision = 0;
};

void GetSystemInfo(SYSTEM_INFO* info);

struct MEMORYSTATUS {
    DWORD dwLength = sizeof(MEMORYSTATUS);
    DWORD dwMemoryLoad = 0;  // percent in use
    std::uint64_t dwTotalPhys = 0;
    std::uint64_t dwAvailPhys = 0;
    std::uint64_t dwTotalPageFile = 0;
    std::uint64_t dwAvailPageFile = 0;
    std::uint64_t dwTotalVirtual = 0;
    std::uint64_t dwAvailVirtual = 0;
};

void GlobalMemoryStatus(MEMORYSTATUS* status);

// Sizes of the file system holding `directory` (a program path such as "C:\"); FALSE with the error
// set when it cannot be read. Any of the out pointers may be null.
BOOL GetDiskFreeSpaceExA(const char* directory, std::uint64_t* freeToCaller, std::uint64_t* totalBytes,
                         std::uint64_t* totalFree);

namespace win {

// Facts that replace the machine's while installed.
struct SystemFacts {
    OSVERSIONINFOA version;
    DWORD processorType = 0;
    std::uint64_t totalPhys = 0;
    std::map<char, std::uint64_t> driveSizes;  // by lower-case letter; a drive not listed cannot be read
};
void SetSystemFacts(const SystemFacts& facts);
void ClearSystemFacts();

}  // namespace win
