// Times the decoding of a program's packed pictures, as it does them once at start:
//   decode_pictures <program.exe>
// Prints each picture's size and the median decoding time of all of them together.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bitmap_file.h"

namespace {

struct Picture {
    const uint8_t* bytes;
    DWORD size;
};

BOOL CALLBACK AddPicture(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR pictures) {
    HRSRC found = FindResourceW(module, name, type);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
    if (bytes != nullptr && SizeofResource(module, found) > 4) {
        reinterpret_cast<std::vector<Picture>*>(pictures)->push_back(
            {bytes, SizeofResource(module, found)});
    }
    return TRUE;
}

double Microseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1e6 /
           static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: decode_pictures <program.exe>\n");
        return 2;
    }
    HMODULE program = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    std::vector<Picture> pictures;
    if (program == nullptr || !EnumResourceNamesW(program, RT_RCDATA, AddPicture,
                                                  reinterpret_cast<LONG_PTR>(&pictures))) {
        std::fprintf(stderr, "no pictures in the program\n");
        return 1;
    }
    std::vector<double> times;
    for (int run = 0; run < 51; ++run) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        for (const Picture& picture : pictures) {
            const base::Result<clip::Picture> decoded =
                clip::DecodePackedPicture({picture.bytes, picture.size});
            if (!decoded) {
                std::fprintf(stderr, "%s\n", decoded.error().what());
                return 1;
            }
            if (run == 0) {
                std::printf("picture %d x %d: %lu bytes compressed, %d uncompressed\n",
                            decoded->width, decoded->height, picture.size,
                            decoded->width * decoded->height * 3);
            }
        }
        QueryPerformanceCounter(&end);
        times.push_back(Microseconds(start, end));
    }
    std::sort(times.begin(), times.end());
    std::printf("decoding all: %.0f us median of %zu runs\n", times[times.size() / 2],
                times.size());
    return 0;
}
