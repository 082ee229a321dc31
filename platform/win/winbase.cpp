// Clock, sleep, last error, events and the module table.
#include "platform/win/winbase.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>

#include "platform/win/modules.h"

namespace {

thread_local DWORD t_lastError = 0;

struct Event {
    std::mutex m;
    std::condition_variable cv;
    bool manual = false;
    bool signalled = false;
};

struct Handles {
    std::mutex m;
    std::unordered_map<uintptr_t, std::shared_ptr<Event>> events;
    uintptr_t next = 0x2000;
};

Handles& H() {
    static Handles* h = new Handles;
    return *h;
}

std::shared_ptr<Event> FindEvent(HANDLE h) {
    std::lock_guard lk(H().m);
    auto it = H().events.find(reinterpret_cast<uintptr_t>(h));
    return it == H().events.end() ? nullptr : it->second;
}

std::string Lower(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string BaseName(const char* path) {
    std::string s = path ? path : "";
    auto p = s.find_last_of("\\/");
    if (p != std::string::npos) s = s.substr(p + 1);
    return Lower(s);
}

struct Module {
    win::ModuleDefinition def;
    int loads = 0;
    uintptr_t handle = 0;
};

struct ModuleTable {
    std::recursive_mutex m;
    std::map<std::string, Module> modules;  // by lower-case name
    std::map<std::string, DWORD> failLoad;
    std::set<std::pair<std::string, std::string>> failProc;
    uintptr_t nextHandle = 0x10000000;
};

ModuleTable& M() {
    static ModuleTable* t = new ModuleTable;
    return *t;
}

Module* ModuleByHandle(HMODULE h) {
    for (auto& [k, m] : M().modules)
        if (m.loads > 0 && m.handle == reinterpret_cast<uintptr_t>(h)) return &m;
    return nullptr;
}

}  // namespace

DWORD GetTickCount() {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void Sleep(DWORD ms) {
    if (ms == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, const char*) {
    auto e = std::make_shared<Event>();
    e->manual = manualReset != FALSE;
    e->signalled = initialState != FALSE;
    std::lock_guard lk(H().m);
    uintptr_t id = H().next;
    H().next += 4;
    H().events[id] = e;
    return reinterpret_cast<HANDLE>(id);
}

BOOL SetEvent(HANDLE h) {
    auto e = FindEvent(h);
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard lk(e->m);
        e->signalled = true;
    }
    if (e->manual)
        e->cv.notify_all();
    else
        e->cv.notify_one();
    return TRUE;
}

BOOL ResetEvent(HANDLE h) {
    auto e = FindEvent(h);
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard lk(e->m);
    e->signalled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE h, DWORD timeoutMs) {
    auto e = FindEvent(h);
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    std::unique_lock lk(e->m);
    auto ready = [&] { return e->signalled; };
    if (timeoutMs == INFINITE)
        e->cv.wait(lk, ready);
    else if (!e->cv.wait_for(lk, std::chrono::milliseconds(timeoutMs), ready))
        return WAIT_TIMEOUT;
    if (!e->manual) e->signalled = false;
    return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE h) {
    std::lock_guard lk(H().m);
    if (!H().events.erase(reinterpret_cast<uintptr_t>(h))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HMODULE LoadLibraryA(const char* fileName) {
    std::function<void()> onLoad;
    HMODULE result;
    {
        std::lock_guard lk(M().m);
        auto name = BaseName(fileName);
        auto f = M().failLoad.find(name);
        if (f != M().failLoad.end()) {
            SetLastError(f->second);
            return nullptr;
        }
        auto it = M().modules.find(name);
        if (it == M().modules.end()) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        auto& mod = it->second;
        if (mod.loads++ == 0) {
            mod.handle = M().nextHandle;
            M().nextHandle += 0x10000;
            onLoad = mod.def.onLoad;
        }
        result = reinterpret_cast<HMODULE>(mod.handle);
    }
    if (onLoad) onLoad();
    return result;
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
    std::lock_guard lk(M().m);
    Module* mod = ModuleByHandle(module);
    if (!mod) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    std::string proc = procName ? procName : "";
    if (M().failProc.count({Lower(mod->def.name), proc})) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    for (auto& e : mod->def.exports)
        if (e.name == proc) return e.proc;
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
    std::function<void()> onUnload;
    {
        std::lock_guard lk(M().m);
        Module* mod = ModuleByHandle(module);
        if (!mod) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (--mod->loads == 0) {
            onUnload = mod->def.onUnload;
            mod->handle = 0;
        }
    }
    if (onUnload) onUnload();
    return TRUE;
}

namespace win {

void RegisterModule(ModuleDefinition def) {
    std::lock_guard lk(M().m);
    auto key = BaseName(def.name.c_str());
    auto& mod = M().modules[key];
    mod.def = std::move(def);
}

int ModuleLoadCount(const std::string& name) {
    std::lock_guard lk(M().m);
    auto it = M().modules.find(BaseName(name.c_str()));
    return it == M().modules.end() ? 0 : it->second.loads;
}

void FailModuleLoad(const std::string& name, DWORD errorCode) {
    std::lock_guard lk(M().m);
    M().failLoad[BaseName(name.c_str())] = errorCode;
}

void FailModuleProc(const std::string& name, const std::string& procName) {
    std::lock_guard lk(M().m);
    M().failProc.insert({BaseName(name.c_str()), procName});
}

void ClearModuleFaults() {
    std::lock_guard lk(M().m);
    M().failLoad.clear();
    M().failProc.clear();
}

}  // namespace win
