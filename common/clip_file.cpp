#include "clip_file.h"

#include <algorithm>

#include "error.h"
#include "handles.h"
#include "sentence.h"
#include "text.h"
#include "text_ids.h"

namespace launcher {
namespace {

using base::win32::OwnedFile;
using base::win32::SystemMessage;

// A splash clip is a few hundred kilobytes; a file this large is something else.
constexpr uint64_t kLargestFile = 256u << 20;

// Read past the system's cache, which would read ahead of what is asked: from a CD, many times
// the headers that the window waits for. Unbuffered, the drive reads just what is asked, which
// must come in whole sectors, at whole sectors from the file's start, into memory aligned
// alike. A page is a whole number of sectors on every drive, and VirtualAlloc gives pages.
constexpr DWORD kPage = 4096;
constexpr DWORD kStagedBytes = 16 * kPage;  // as much as the frames are read in a piece

class Win32FileReader : public forms::FileReader {
  public:
    Win32FileReader(OwnedFile file, uint64_t size, std::wstring_view notRead)
        : file_(std::move(file)),
          staged_(VirtualAlloc(nullptr, kStagedBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)),
          size_(size),
          notRead_(notRead) {}

    uint64_t Size() const override { return size_; }

    // The first page, which tells whether the volume reads the file as it was opened.
    base::Fault ReadFirstPage() { return Stage(kPage); }

    base::Fault ReadMore(std::vector<uint8_t>& bytes, size_t count) override {
        const auto* const staged = static_cast<const uint8_t*>(staged_.get());
        while (count > 0) {
            if (next_ == end_) {
                if (ended_) {
                    break;
                }
                if (base::Fault fault = Stage(count)) {
                    return fault;
                }
                continue;
            }
            const size_t taken = std::min<size_t>(count, end_ - next_);
            bytes.insert(bytes.end(), staged + next_, staged + next_ + taken);
            next_ += static_cast<DWORD>(taken);
            count -= taken;
        }
        return std::nullopt;
    }

  private:
    // The next pages of the file, enough for `wanted` bytes where they fit.
    base::Fault Stage(size_t wanted) {
        if (!staged_) {
            return base::Error(base::Sentence(notRead_, {SystemMessage(ERROR_OUTOFMEMORY)}));
        }
        const DWORD asked = static_cast<DWORD>(
            std::min<size_t>(kStagedBytes, (wanted + kPage - 1) / kPage * kPage));
        DWORD read = 0;
        if (!::ReadFile(file_.get(), staged_.get(), asked, &read, nullptr)) {
            return base::Error(base::Sentence(notRead_, {SystemMessage(GetLastError())}));
        }
        next_ = 0;
        end_ = read;
        ended_ = read < asked;  // the end of the file
        return std::nullopt;
    }

    OwnedFile file_;
    base::win32::OwnedPages staged_;
    DWORD next_ = 0;  // the first staged byte not handed out yet
    DWORD end_ = 0;
    bool ended_ = false;
    uint64_t size_;
    std::wstring_view notRead_;
};

base::Result<std::unique_ptr<forms::FileReader>> OpenAndReadFirstPage(const std::wstring& name,
                                                                      bool pastCache,
                                                                      forms::FormSystem& texts) {
    OwnedFile file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               pastCache ? FILE_FLAG_NO_BUFFERING : 0, nullptr));
    if (!file) {
        return base::Error(
            base::Sentence(texts.Text(texts::kClipNotOpened), {SystemMessage(GetLastError())}));
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || static_cast<uint64_t>(size.QuadPart) > kLargestFile) {
        return base::Error(base::Utf8(texts.Text(texts::kClipTooLarge)));
    }
    auto reader = std::make_unique<Win32FileReader>(
        std::move(file), static_cast<uint64_t>(size.QuadPart), texts.Text(texts::kClipNotRead));
    if (base::Fault fault = reader->ReadFirstPage()) {
        return std::move(*fault);
    }
    return std::unique_ptr<forms::FileReader>(std::move(reader));
}

}  // namespace

// Front to back, once, each byte where it is needed: the headers before the window shows, the
// frames after.
base::Result<std::unique_ptr<forms::FileReader>> OpenClipFile(const std::wstring& name,
                                                              forms::FormSystem& texts) {
    return forms::OpenPastCacheOrThrough(
        [&name, &texts](bool pastCache) { return OpenAndReadFirstPage(name, pastCache, texts); });
}

}  // namespace launcher
