// Writes RIFF AVI files with one video stream: the demo clip, and test clips of every
// layout the player reads (uncompressed or RLE8, with or without index, 'rec ' lists).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace clipmaker {

using Bytes = std::vector<uint8_t>;

inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiRle8 = 1;
inline constexpr uint32_t kBiBitfields = 3;

enum class IndexKind { None, RelativeToMovie, AbsoluteInFile };

struct AviLayout {
    int32_t width = 0;
    int32_t height = 0;  // negative for a top-down picture, as in a bitmap header
    uint16_t bitCount = 8;
    uint32_t compression = kBiRgb;
    std::vector<uint32_t> palette;  // 0x00RRGGBB; written after the header when not empty
    std::vector<uint32_t> masks;    // written after the header when not empty
    uint32_t rate = 15;             // frames per second is rate / scale
    uint32_t scale = 1;
    std::vector<Bytes> frames;  // each frame's data as stored
    IndexKind index = IndexKind::RelativeToMovie;
    bool recLists = false;     // put each frame in a LIST 'rec '
    bool audioStream = false;  // add a second, audio, stream
};

Bytes WriteAvi(const AviLayout& layout);

// Builds nested RIFF chunks: begin a chunk, append to it, end it to set its size and pad.
class RiffWriter {
  public:
    void BeginList(const char* listId, const char* type);
    void BeginChunk(const char* id);
    void EndChunk();
    void Chunk(const char* id, const Bytes& data);
    void U16(uint16_t value);
    void U32(uint32_t value);
    void Append(const Bytes& data);
    void FourCC(const char* id);
    size_t Size() const { return bytes_.size(); }
    Bytes Take() { return std::move(bytes_); }

  private:
    Bytes bytes_;
    std::vector<size_t> open_;
};

}  // namespace clipmaker
