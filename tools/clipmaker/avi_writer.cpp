#include "avi_writer.h"

#include <cstring>

namespace clipmaker {

void RiffWriter::FourCC(const char* id) {
    bytes_.insert(bytes_.end(), id, id + 4);
}

void RiffWriter::U16(uint16_t value) {
    bytes_.push_back(static_cast<uint8_t>(value));
    bytes_.push_back(static_cast<uint8_t>(value >> 8));
}

void RiffWriter::U32(uint32_t value) {
    U16(static_cast<uint16_t>(value));
    U16(static_cast<uint16_t>(value >> 16));
}

void RiffWriter::Append(const Bytes& data) {
    bytes_.insert(bytes_.end(), data.begin(), data.end());
}

void RiffWriter::BeginChunk(const char* id) {
    FourCC(id);
    open_.push_back(bytes_.size());
    U32(0);
}

void RiffWriter::BeginList(const char* listId, const char* type) {
    BeginChunk(listId);
    FourCC(type);
}

void RiffWriter::EndChunk() {
    const size_t sizeAt = open_.back();
    open_.pop_back();
    const auto size = static_cast<uint32_t>(bytes_.size() - sizeAt - 4);
    for (size_t i = 0; i < 4; ++i) {
        bytes_[sizeAt + i] = static_cast<uint8_t>(size >> (8 * i));
    }
    if (size & 1) {
        bytes_.push_back(0);
    }
}

void RiffWriter::Chunk(const char* id, const Bytes& data) {
    BeginChunk(id);
    Append(data);
    EndChunk();
}

namespace {

uint32_t FrameSizeBound(const AviLayout& layout) {
    uint32_t largest = 0;
    for (const Bytes& frame : layout.frames) {
        largest = std::max(largest, static_cast<uint32_t>(frame.size()));
    }
    return largest;
}

void WriteMainHeader(RiffWriter& riff, const AviLayout& layout) {
    riff.BeginChunk("avih");
    riff.U32(static_cast<uint32_t>(uint64_t{1'000'000} * layout.scale / layout.rate));
    riff.U32(0);                                           // max bytes per second
    riff.U32(0);                                           // padding granularity
    riff.U32(layout.index == IndexKind::None ? 0 : 0x10);  // AVIF_HASINDEX
    riff.U32(static_cast<uint32_t>(layout.frames.size()));
    riff.U32(0);  // initial frames
    riff.U32(layout.audioStream ? 2 : 1);
    riff.U32(FrameSizeBound(layout));
    riff.U32(static_cast<uint32_t>(layout.width));
    riff.U32(static_cast<uint32_t>(layout.height < 0 ? -layout.height : layout.height));
    for (int i = 0; i < 4; ++i) {
        riff.U32(0);
    }
    riff.EndChunk();
}

void WriteStreamHeader(RiffWriter& riff, const char* type, const char* handler, uint32_t rate,
                       uint32_t scale, uint32_t length) {
    riff.BeginChunk("strh");
    riff.FourCC(type);
    riff.FourCC(handler);
    riff.U32(0);  // flags
    riff.U16(0);  // priority
    riff.U16(0);  // language
    riff.U32(0);  // initial frames
    riff.U32(scale);
    riff.U32(rate);
    riff.U32(0);  // start
    riff.U32(length);
    riff.U32(0);           // suggested buffer size
    riff.U32(0xFFFFFFFF);  // quality: default
    riff.U32(0);           // sample size
    for (int i = 0; i < 4; ++i) {
        riff.U16(0);  // frame rectangle
    }
    riff.EndChunk();
}

void WriteVideoFormat(RiffWriter& riff, const AviLayout& layout) {
    riff.BeginChunk("strf");
    riff.U32(40);
    riff.U32(static_cast<uint32_t>(layout.width));
    riff.U32(static_cast<uint32_t>(layout.height));
    riff.U16(1);
    riff.U16(layout.bitCount);
    riff.U32(layout.compression);
    riff.U32(0);  // image size: may be 0 for uncompressed frames
    riff.U32(0);
    riff.U32(0);
    riff.U32(static_cast<uint32_t>(layout.palette.size()));
    riff.U32(0);
    for (uint32_t mask : layout.masks) {
        riff.U32(mask);
    }
    for (uint32_t colour : layout.palette) {
        riff.U32(colour);
    }
    riff.EndChunk();
}

void WriteAudioStream(RiffWriter& riff) {
    riff.BeginList("LIST", "strl");
    WriteStreamHeader(riff, "auds", "\0\0\0\0", 22050, 1, 0);
    riff.BeginChunk("strf");
    riff.U16(1);  // PCM
    riff.U16(1);
    riff.U32(22050);
    riff.U32(22050);
    riff.U16(1);
    riff.U16(8);
    riff.EndChunk();
    riff.EndChunk();
}

const char* FrameId(const AviLayout& layout) {
    return layout.compression == kBiRle8 ? "00dc" : "00db";
}

}  // namespace

Bytes WriteAvi(const AviLayout& layout) {
    RiffWriter riff;
    riff.BeginList("RIFF", "AVI ");
    riff.BeginList("LIST", "hdrl");
    WriteMainHeader(riff, layout);
    riff.BeginList("LIST", "strl");
    WriteStreamHeader(riff, "vids", layout.compression == kBiRle8 ? "mrle" : "DIB ", layout.rate,
                      layout.scale, static_cast<uint32_t>(layout.frames.size()));
    WriteVideoFormat(riff, layout);
    riff.EndChunk();
    if (layout.audioStream) {
        WriteAudioStream(riff);
    }
    riff.EndChunk();

    const size_t movieType = riff.Size() + 8;  // where the 'movi' list type will stand
    riff.BeginList("LIST", "movi");
    std::vector<std::pair<uint32_t, uint32_t>> entries;  // chunk offset, size
    for (const Bytes& frame : layout.frames) {
        if (layout.recLists) {
            riff.BeginList("LIST", "rec ");
        }
        const size_t at = riff.Size();
        entries.emplace_back(
            static_cast<uint32_t>(layout.index == IndexKind::AbsoluteInFile ? at : at - movieType),
            static_cast<uint32_t>(frame.size()));
        riff.Chunk(FrameId(layout), frame);
        if (layout.recLists) {
            riff.EndChunk();
        }
    }
    riff.EndChunk();

    if (layout.index != IndexKind::None) {
        riff.BeginChunk("idx1");
        for (const auto& [offset, size] : entries) {
            riff.FourCC(FrameId(layout));
            riff.U32(0x10);  // AVIIF_KEYFRAME
            riff.U32(offset);
            riff.U32(size);
        }
        riff.EndChunk();
    }
    riff.EndChunk();
    return riff.Take();
}

}  // namespace clipmaker
