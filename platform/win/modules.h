// The in-process module table that stands in for dynamic libraries.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/wintypes.h"

namespace win {

struct ModuleExport {
    std::string name;
    FARPROC proc;
};

// One row of a module's export table: a function under its exported name.
template <class F>
ModuleExport Export(const char* name, F* proc) {
    return {name, reinterpret_cast<FARPROC>(proc)};
}

struct ModuleDefinition {
    std::string name;                    // e.g. "wsock32.dll"
    std::vector<ModuleExport> exports;   // looked up by exact name
    std::function<void()> onLoad;        // first load (refcount 0 -> 1)
    std::function<void()> onUnload;      // last free (refcount 1 -> 0)
};

// Registers (or replaces) a module. Usually done from a static registrar in the stand-in library.
void RegisterModule(ModuleDefinition def);

// Number of outstanding loads of the module (0 when not loaded or unknown).
int ModuleLoadCount(const std::string& name);

// Test hooks: make the next loads of a module fail with an error code, or make lookups of one
// procedure fail. ClearModuleFaults removes all hooks.
void FailModuleLoad(const std::string& name, DWORD errorCode = ERROR_MOD_NOT_FOUND);
void FailModuleProc(const std::string& name, const std::string& procName);
void ClearModuleFaults();

// Helper for static registration: `static win::ModuleRegistrar reg{{...}};`
struct ModuleRegistrar {
    explicit ModuleRegistrar(ModuleDefinition def) { RegisterModule(std::move(def)); }
};

}  // namespace win
