// DLLs from the system folder only. The programs run from a CD or from a copy of it in a
// writable folder such as Downloads, where anybody may have put a DLL of a system name.
#pragma once

#include <windows.h>

namespace base::win32 {

// First thing in a program: later loads, the system's own included, search only the system
// folder. Looked up at run time, since Windows 7 without its loader update lacks it; there
// the working directory at least leaves the search.
void RestrictDllSearchToSystemFolder();

// A DLL loaded for a while, by the full path in the system folder where the loader refuses
// its search flags.
class SystemLibrary {
  public:
    explicit SystemLibrary(const wchar_t* name);
    ~SystemLibrary();
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    template <typename Function>
    Function* Find(const char* name) const {
        if (module_ == nullptr) {
            return nullptr;
        }
        // Through the generic function type, which converts to any other without a warning.
        using Generic = void (*)();
        return reinterpret_cast<Function*>(
            reinterpret_cast<Generic>(GetProcAddress(module_, name)));
    }

  private:
    HMODULE module_;
};

}  // namespace base::win32
