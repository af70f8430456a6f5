// What a form needs of the operating system rather than of its window: files and the clock.
// The real one, or a fake in tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace forms {

class FormSystem {
  public:
    virtual ~FormSystem() = default;

    virtual uint64_t NowMs() = 0;
    // Reads a whole file named relative to the working directory; throws base::Error.
    virtual std::vector<uint8_t> ReadFile(const std::wstring& name) = 0;
};

}  // namespace forms
