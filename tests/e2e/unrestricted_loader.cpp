// The planted-DLL test's positive control: loads oleacc by bare name with the default DLL
// search, as a program that does not restrict it would. Beside a planted copy, that copy is
// the one taken. Exit code 0 where a DLL of that name was loaded.
#include <windows.h>

int wmain() {
    HMODULE library = LoadLibraryW(L"oleacc.dll");
    if (library == nullptr) {
        return 1;
    }
    FreeLibrary(library);
    return 0;
}
