// What a form needs of the operating system rather than of its window: files, the clock and
// the program's texts. The real one, or a fake in tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "error.h"
#include "text_ids.h"

namespace forms {

// A file open for reading, front to back.
class FileReader {
  public:
    virtual ~FileReader() = default;

    virtual uint64_t Size() const = 0;
    // Appends the next `count` bytes of the file to `bytes`, fewer only at its end; where the
    // read fails, what came before the failure, and why.
    [[nodiscard]] virtual base::Fault ReadMore(std::vector<uint8_t>& bytes, size_t count) = 0;
};

// A file read past the system's cache where its volume allows that, else through the cache.
// `open(true)` opens it past the cache and reads its first page, either of which a volume may
// refuse (sectors larger than a page, a network redirector without such reads); then
// `open(false)` opens it through the cache. Where both fail, why the second did.
template <typename OpenFileAs>
base::Result<std::unique_ptr<FileReader>> OpenPastCacheOrThrough(const OpenFileAs& open) {
    base::Result<std::unique_ptr<FileReader>> pastCache = open(true);
    return pastCache ? std::move(pastCache) : open(false);
}

class FormSystem {
  public:
    virtual ~FormSystem() = default;

    virtual uint64_t NowMs() = 0;
    // A text of the program's, in the language it speaks (texts::Id); it lasts as long as the
    // program.
    virtual std::wstring_view Text(int id) = 0;
    // Whether the program's language reads from right to left, as its LAYOUT text says.
    bool ReadsRightToLeft() { return Text(texts::kLayout) == L"RTL"; }
    // Opens a file named relative to the working directory.
    virtual base::Result<std::unique_ptr<FileReader>> OpenFile(const std::wstring& name) = 0;
};

}  // namespace forms
