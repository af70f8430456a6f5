// Raw DEFLATE (RFC 1951), the pictures' packing: they are the largest part of Setup.exe, and
// every byte of it is read from the disc before the splash shows. Portable; checked at every
// step, so that no input reads or writes outside its bounds.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "error.h"

namespace base {

// Why packed bytes do not inflate: they are damaged.
class InflateError : public Error {
  public:
    using Error::Error;
};

// The `size` bytes that `packed` inflates to, or why it does not.
base::Result<std::vector<uint8_t>> Inflate(std::span<const uint8_t> packed, size_t size);

// What the programs carry packed, pictures and texts alike: the length in four bytes,
// little-endian, then the bytes deflated. A length past `largest` is a damaged one.
base::Result<std::vector<uint8_t>> InflatePacked(std::span<const uint8_t> packed, size_t largest);

}  // namespace base
