// Stand-ins for parts of the C runtime's start-up that these programs never use, linked ahead
// of the runtime's own so that the linker takes these and leaves the originals, with what
// they pull in, out of the file the drive reads before the window shows.
#include <windows.h>

struct _exception;

extern "C" {

// Fixes up data imported from DLLs without dllimport. The programs link with
// --disable-auto-import, which refuses such an import, so there is never anything to fix.
void _pei386_runtime_relocator() {}

// The runtime's filter turns a crash into a C signal; no program installs a signal handler,
// so the crash is left to Windows, as that filter would leave it.
LONG WINAPI _gnu_exception_handler(EXCEPTION_POINTERS*) {
    return EXCEPTION_CONTINUE_SEARCH;
}
LPTOP_LEVEL_EXCEPTION_FILTER __mingw_oldexcpt_handler = nullptr;

// No thread-local data and no handler of math errors: nothing to set up for either.
extern const PIMAGE_TLS_CALLBACK __dyn_tls_init_callback;
const PIMAGE_TLS_CALLBACK __dyn_tls_init_callback = nullptr;
int __mingw_initltsdrot_force = 0;
int __mingw_initltsdyn_force = 0;
int __mingw_initltssuo_force = 0;
void __mingw_setusermatherr(int (*)(_exception*)) {}
int _matherr(_exception*) {
    return 0;  // the runtime's default answer
}

}  // extern "C"
