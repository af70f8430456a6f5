// A language's texts as the programs carry them: one table a language, packed, unpacked once
// at start-up. Portable.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "error.h"

namespace launcher {

class TextTable {
  public:
    // The table of the packed bytes: the texts by number, each its length in UTF-16 units and
    // its units, little-endian, deflated after the table's length in four bytes.
    static base::Result<TextTable> Unpack(std::span<const uint8_t> packed);

    // Empty where the table has no such text.
    std::wstring_view Text(int id) const;

  private:
    std::wstring texts_;          // one after another
    std::vector<uint32_t> ends_;  // where each text ends in them, by number
};

}  // namespace launcher
