#include "module_location.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

std::string ModuleDirectory() {
    std::string file;
#if defined(_WIN32)
    HMODULE module = nullptr;
    char path[MAX_PATH];
    if (GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&ModuleDirectory), &module) &&
        GetModuleFileNameA(module, path, sizeof path) > 0) {
        file = path;
    }
    const size_t separator = file.find_last_of("\\/");
#else
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&ModuleDirectory), &info) != 0 &&
        info.dli_fname != nullptr) {
        file = info.dli_fname;
    }
    const size_t separator = file.rfind('/');
#endif
    return separator == std::string::npos ? std::string() : file.substr(0, separator + 1);
}
