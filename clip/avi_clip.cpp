#include "avi_clip.h"

#include <optional>

#include "riff_words.h"

namespace clip {
namespace {

constexpr size_t kStreamHeaderMinSize = 36;  // up to and including dwLength
constexpr size_t kMainHeaderMinSize = 40;    // up to and including dwHeight
constexpr size_t kIndexEntrySize = 16;
constexpr uint64_t kMaxClipSeconds = 24 * 60 * 60;

// A chunk as it stands in the file: `begin` is the offset of its 8-byte header.
struct Chunk {
    uint32_t id = 0;
    size_t begin = 0;
    size_t size = 0;

    size_t DataBegin() const { return begin + 8; }
    size_t DataEnd() const { return begin + 8 + size; }
};

struct StreamInfo {
    uint32_t type = 0;
    FrameRate rate;
    std::optional<Chunk> format;
};

}  // namespace

// Refuse: any fault refuses the clip. StopAtFirst, for a clip whose headers were read and
// checked before: the clip keeps the frames before the first fault after its headers.
enum class Faults { Refuse, StopAtFirst };

// Walks a clip's chunks; keeps the first fault found, which ends the walk.
class AviParser {
  public:
    explicit AviParser(std::span<const uint8_t> file, Faults faults = Faults::Refuse)
        : file_(file), lenient_(faults == Faults::StopAtFirst) {}

    base::Result<AviClip> Still(std::span<const uint8_t> pixels) {
        AviClip still;
        still.format_ = ReadVideoFormat(file_, fault_);
        if (fault_) {
            return *fault_;
        }
        still.rate_ = {1, 1};
        still.frames_.push_back(pixels);
        CheckFrameSizes(still);
        if (fault_) {
            return *fault_;
        }
        return still;
    }

    base::Result<AviClip> Parse() {
        AviClip clip = ParseOrRefuse();
        if (fault_) {
            return *fault_;
        }
        return clip;
    }

    // The headers at the start of the file, before its first frame is read.
    base::Result<std::optional<ClipHeader>> ReadHeader(uint64_t fileSize, size_t& needed) {
        if (file_.size() < 12 && fileSize >= 12) {
            needed = 12;
            return std::optional<ClipHeader>();
        }
        const size_t riffEnd = ReadRiffHeader(fileSize);
        if (fault_) {
            return *fault_;
        }
        size_t pos = 12;
        while (pos < riffEnd) {
            if (riffEnd - pos < 8) {
                return ClipError(
                    DeveloperReason([&] { return std::string(CutShort("the RIFF file")); }));
            }
            if (file_.size() < pos + 8) {
                needed = pos + 8;
                return std::optional<ClipHeader>();
            }
            const Chunk chunk{ReadU32(file_, pos), pos, ReadU32(file_, pos + 4)};
            if (chunk.size > riffEnd - pos - 8) {
                return ClipError(
                    DeveloperReason([&] { return std::string(RunsPast(chunk, "the RIFF file")); }));
            }
            if (chunk.id == FourCC("LIST") && chunk.size >= 4) {
                if (file_.size() < chunk.DataBegin() + 4) {
                    needed = chunk.DataBegin() + 4;
                    return std::optional<ClipHeader>();
                }
                if (ListType(chunk) == FourCC("hdrl")) {
                    if (file_.size() < chunk.DataEnd()) {
                        needed = chunk.DataEnd();
                        return std::optional<ClipHeader>();
                    }
                    ClipHeader header = ReadHeaderList(chunk);
                    if (fault_) {
                        return *fault_;
                    }
                    header.fileBytes = riffEnd;
                    return std::optional<ClipHeader>(std::move(header));
                }
            }
            pos = std::min(riffEnd, chunk.DataEnd() + (chunk.size & 1));
        }
        return ClipError(DeveloperReason([&] { return std::string("no header list ('hdrl')"); }));
    }

  private:
    // Notes the fault unless one came first; callers look at fault_ and stop.
    void Fail(std::string why) { fault_.Fail(std::move(why)); }

    AviClip ParseOrRefuse() {
        AviClip clip;
        const size_t riffEnd = ReadRiffHeader(file_.size());
        if (fault_) {
            return clip;
        }
        const std::vector<Chunk> top = ReadChunks(12, riffEnd, "the RIFF file");
        const Chunk* header = FindList(top, FourCC("hdrl"));
        const Chunk* movie = FindList(top, FourCC("movi"));
        if (fault_ || header == nullptr) {
            Fail(DeveloperReason([&] { return std::string("no header list ('hdrl')"); }));
            return clip;
        }
        if (movie == nullptr && !lenient_) {
            Fail(DeveloperReason([&] { return std::string("no movie data ('movi')"); }));
            return clip;
        }
        ClipHeader read = ReadHeaderList(*header);
        if (fault_) {
            return clip;
        }
        clip.format_ = std::move(read.format);
        clip.rate_ = read.rate;
        if (movie == nullptr) {
            return clip;  // the file breaks off before its movie data
        }

        std::vector<Chunk> frames;
        if (const Chunk* index = Find(top, FourCC("idx1"))) {
            frames = FramesFromIndex(*index, *movie);
        }
        if (!fault_ && frames.empty()) {
            WalkMovie(movie->DataBegin() + 4, movie->DataEnd(), 0, frames);
        }
        if (!fault_ && frames.empty() && !lenient_) {
            Fail(DeveloperReason([&] { return std::string("the clip holds no frames"); }));
        }
        if (fault_) {
            return clip;
        }
        for (const Chunk& frame : frames) {
            clip.frames_.push_back(file_.subspan(frame.DataBegin(), frame.size));
        }
        if (lenient_) {
            clip.frames_.resize(std::min(FirstUndersizedFrame(clip), FramesInADay(clip)));
        } else {
            CheckFrameSizes(clip);
            CheckDuration(clip);
        }
        return clip;
    }

    size_t ReadRiffHeader(uint64_t fileSize) {
        if (file_.size() < 12 || ReadU32(file_, 0) != FourCC("RIFF") ||
            ReadU32(file_, 8) != FourCC("AVI ")) {
            Fail(DeveloperReason([&] { return std::string("not a RIFF AVI file"); }));
            return 0;
        }
        const uint64_t riffEnd = uint64_t{8} + ReadU32(file_, 4);
        if (riffEnd > fileSize && !lenient_) {
            Fail(DeveloperReason([&] {
                return std::string("the file is truncated: it holds " + std::to_string(fileSize) +
                                   " bytes of the " + std::to_string(riffEnd) +
                                   " its header declares");
            }));
            return 0;
        }
        return static_cast<size_t>(std::min<uint64_t>(riffEnd, fileSize));
    }

    static std::string CutShort(const char* where) {
        return std::string("truncated: a chunk header in ") + where + " is cut short";
    }

    static std::string RunsPast(const Chunk& chunk, const char* where) {
        return "truncated: chunk " + FourCCText(chunk.id) + " in " + where + " runs past its end";
    }

    ClipHeader ReadHeaderList(const Chunk& header) {
        ClipHeader read;
        const uint32_t usPerFrame = ReadMainHeader(header);
        if (fault_) {
            return read;
        }
        const std::optional<StreamInfo> video = ReadVideoStream(header);
        if (fault_) {
            return read;
        }
        read.format =
            ReadVideoFormat(file_.subspan(video->format->DataBegin(), video->format->size), fault_);
        if (fault_) {
            return read;
        }
        read.rate = ChooseRate(video->rate, usPerFrame);
        return read;
    }

    // Lists the chunks between two offsets; each must fit wholly inside them. Lenient, the
    // list ends at the first that does not, and a list cut short keeps what it holds.
    std::vector<Chunk> ReadChunks(size_t pos, size_t end, const char* where) {
        std::vector<Chunk> chunks;
        while (pos < end) {
            if (end - pos < 8) {
                if (!lenient_) {
                    Fail(DeveloperReason([&] { return std::string(CutShort(where)); }));
                }
                break;
            }
            Chunk chunk{ReadU32(file_, pos), pos, ReadU32(file_, pos + 4)};
            if (chunk.size > end - pos - 8) {
                if (!lenient_) {
                    Fail(DeveloperReason([&] { return std::string(RunsPast(chunk, where)); }));
                } else if (chunk.id == FourCC("LIST")) {
                    chunk.size = end - pos - 8;
                    chunks.push_back(chunk);
                }
                break;
            }
            chunks.push_back(chunk);
            // Chunks are padded to an even length; a missing final pad byte is harmless.
            pos = std::min(end, chunk.DataEnd() + (chunk.size & 1));
        }
        return chunks;
    }

    uint32_t ListType(const Chunk& chunk) const {
        return chunk.id == FourCC("LIST") && chunk.size >= 4 ? ReadU32(file_, chunk.DataBegin())
                                                             : 0;
    }

    std::vector<Chunk> ListChildren(const Chunk& list, const char* where) {
        return ReadChunks(list.DataBegin() + 4, list.DataEnd(), where);
    }

    static const Chunk* Find(const std::vector<Chunk>& chunks, uint32_t id) {
        for (const Chunk& chunk : chunks) {
            if (chunk.id == id) {
                return &chunk;
            }
        }
        return nullptr;
    }

    const Chunk* FindList(const std::vector<Chunk>& chunks, uint32_t type) const {
        for (const Chunk& chunk : chunks) {
            if (ListType(chunk) == type) {
                return &chunk;
            }
        }
        return nullptr;
    }

    uint32_t ReadMainHeader(const Chunk& header) {
        const std::vector<Chunk> children = ListChildren(header, "the header list");
        const Chunk* main = Find(children, FourCC("avih"));
        if (fault_ || main == nullptr || main->size < kMainHeaderMinSize) {
            Fail(DeveloperReason([&] { return std::string("no main AVI header ('avih')"); }));
            return 0;
        }
        return ReadU32(file_, main->DataBegin());
    }

    std::optional<StreamInfo> ReadStream(const Chunk& list) {
        const std::vector<Chunk> children = ListChildren(list, "a stream list");
        const Chunk* header = Find(children, FourCC("strh"));
        if (fault_ || header == nullptr || header->size < kStreamHeaderMinSize) {
            Fail(DeveloperReason(
                [&] { return std::string("a stream has no stream header ('strh')"); }));
            return std::nullopt;
        }
        const size_t at = header->DataBegin();
        StreamInfo stream{
            ReadU32(file_, at), {ReadU32(file_, at + 24), ReadU32(file_, at + 20)}, {}};
        if (const Chunk* format = Find(children, FourCC("strf"))) {
            stream.format = *format;
        }
        return stream;
    }

    // The clip's single video stream, with its format chunk. A clip without one, or with an
    // audio or a second video stream, gets a fault and nothing back.
    std::optional<StreamInfo> ReadVideoStream(const Chunk& header) {
        std::optional<StreamInfo> video;
        const std::vector<Chunk> children = ListChildren(header, "the header list");
        for (const Chunk& child : children) {
            if (fault_) {
                return std::nullopt;
            }
            if (ListType(child) != FourCC("strl")) {
                continue;
            }
            const std::optional<StreamInfo> stream = ReadStream(child);
            if (!stream) {
                return std::nullopt;
            }
            if (stream->type == FourCC("auds") || stream->type == FourCC("mids")) {
                Fail(DeveloperReason([&] {
                    return std::string(
                        "the clip has an audio stream; only silent clips can be played");
                }));
            } else if (stream->type != FourCC("vids")) {
                Fail(DeveloperReason([&] {
                    return std::string("the clip has an unsupported " + FourCCText(stream->type) +
                                       " stream");
                }));
            } else if (video) {
                Fail(DeveloperReason(
                    [&] { return std::string("the clip has more than one video stream"); }));
            }
            video = stream;
        }
        if (!fault_ && !video) {
            Fail(DeveloperReason([&] { return std::string("the clip has no video stream"); }));
        } else if (!fault_ && !video->format) {
            Fail(DeveloperReason(
                [&] { return std::string("the video stream has no format ('strf')"); }));
        }
        return fault_ ? std::nullopt : video;
    }

    FrameRate ChooseRate(FrameRate stream, uint32_t usPerFrame) {
        if (stream.rate != 0 && stream.scale != 0) {
            return stream;
        }
        if (usPerFrame != 0) {
            return {1'000'000, usPerFrame};
        }
        Fail(DeveloperReason([&] { return std::string("the clip has no frame rate"); }));
        return {};
    }

    // The clip's only stream is stream 00: 'db' frames are uncompressed, 'dc' compressed.
    static bool IsFrameId(uint32_t id) { return id == FourCC("00db") || id == FourCC("00dc"); }

    static bool IsPaletteChange(uint32_t id) { return id == FourCC("00pc"); }

    // A palette change refuses the clip; leniently, the frames end before it.
    bool StopsAtPaletteChange() {
        if (!lenient_) {
            Fail(DeveloperReason([&] {
                return std::string(
                    "the clip changes its palette while playing; that is not supported");
            }));
        }
        return false;
    }

    // False where the walk stopped at a fault.
    bool WalkMovie(size_t pos, size_t end, int depth, std::vector<Chunk>& frames) {
        const std::vector<Chunk> chunks = ReadChunks(pos, end, "the movie data");
        if (fault_) {
            return false;
        }
        for (const Chunk& chunk : chunks) {
            if (IsFrameId(chunk.id)) {
                frames.push_back(chunk);
            } else if (IsPaletteChange(chunk.id)) {
                return StopsAtPaletteChange();
            } else if (ListType(chunk) == FourCC("rec ") && depth == 0 &&
                       !WalkMovie(chunk.DataBegin() + 4, chunk.DataEnd(), depth + 1, frames)) {
                return false;
            }
        }
        return true;
    }

    // Index offsets count from the 'movi' list type, or by some writers from the file's start.
    std::vector<Chunk> FramesFromIndex(const Chunk& index, const Chunk& movie) {
        std::vector<std::pair<uint32_t, uint32_t>> entries;  // id, offset
        for (size_t pos = index.DataBegin(); pos + kIndexEntrySize <= index.DataEnd();
             pos += kIndexEntrySize) {
            const uint32_t id = ReadU32(file_, pos);
            if (IsPaletteChange(id)) {
                StopsAtPaletteChange();
                break;
            }
            if (IsFrameId(id)) {
                entries.emplace_back(id, ReadU32(file_, pos + 8));
            }
        }
        std::vector<Chunk> frames;
        if (fault_ || entries.empty()) {
            return frames;
        }
        // In 64 bits: a 32-bit size_t would wrap an offset near 4 GiB onto a frame.
        const uint64_t relativeBase = movie.DataBegin();
        const uint64_t base =
            ChunkAt(relativeBase + entries[0].second, entries[0].first, movie) ? relativeBase : 0;
        for (size_t i = 0; i < entries.size(); ++i) {
            const std::optional<Chunk> frame =
                ChunkAt(base + entries[i].second, entries[i].first, movie);
            if (!frame) {
                if (!lenient_) {
                    Fail(DeveloperReason([&] {
                        return std::string("index entry " + std::to_string(i) +
                                           " does not point at a frame in the movie data");
                    }));
                }
                break;
            }
            frames.push_back(*frame);
        }
        return frames;
    }

    std::optional<Chunk> ChunkAt(uint64_t pos, uint32_t id, const Chunk& movie) const {
        if (pos < movie.DataBegin() + 4 || pos + 8 > movie.DataEnd()) {
            return std::nullopt;
        }
        const auto at = static_cast<size_t>(pos);
        const Chunk chunk{ReadU32(file_, at), at, ReadU32(file_, at + 4)};
        if (chunk.id != id || chunk.size > movie.DataEnd() - at - 8) {
            return std::nullopt;
        }
        return chunk;
    }

    static size_t FrameBytes(const VideoFormat& format) {
        return format.Stride() * static_cast<size_t>(format.height);
    }

    // The first uncompressed frame too small for the picture, or the frame count.
    static size_t FirstUndersizedFrame(const AviClip& clip) {
        if (clip.Format().compression == Compression::Rle8) {
            return clip.FrameCount();  // checked while decoding
        }
        const size_t needed = FrameBytes(clip.Format());
        for (size_t i = 0; i < clip.FrameCount(); ++i) {
            const size_t size = clip.Frame(i).size();
            if (size != 0 && size < needed) {
                return i;
            }
        }
        return clip.FrameCount();
    }

    void CheckFrameSizes(const AviClip& clip) {
        const size_t i = FirstUndersizedFrame(clip);
        if (i < clip.FrameCount()) {
            const VideoFormat& format = clip.Format();
            Fail(DeveloperReason([&] {
                return std::string("frame " + std::to_string(i) + " holds " +
                                   std::to_string(clip.Frame(i).size()) + " bytes; a " +
                                   std::to_string(format.width) + " x " +
                                   std::to_string(format.height) + " frame at " +
                                   std::to_string(format.bitCount) + " bits per pixel needs " +
                                   std::to_string(FrameBytes(format)));
            }));
        }
    }

    static size_t FramesInADay(const AviClip& clip) {
        const FrameRate rate = clip.Rate();
        return static_cast<size_t>(
            std::min<uint64_t>(clip.FrameCount(), kMaxClipSeconds * rate.rate / rate.scale));
    }

    void CheckDuration(const AviClip& clip) {
        if (FramesInADay(clip) < clip.FrameCount()) {
            Fail(DeveloperReason([&] { return std::string("the clip plays longer than a day"); }));
        }
    }

    std::span<const uint8_t> file_;
    bool lenient_ = false;
    FirstFault fault_;
};

base::Result<AviClip> AviClip::Parse(std::span<const uint8_t> bytes) {
    return AviParser(bytes).Parse();
}

base::Result<std::optional<ClipHeader>> AviClip::ReadHeader(std::span<const uint8_t> start,
                                                            uint64_t fileSize, size_t& needed) {
    return AviParser(start).ReadHeader(fileSize, needed);
}

base::Result<AviClip> AviClip::ParseLeniently(std::span<const uint8_t> bytes) {
    return AviParser(bytes, Faults::StopAtFirst).Parse();
}

base::Result<AviClip> AviClip::Still(std::span<const uint8_t> format,
                                     std::span<const uint8_t> pixels) {
    return AviParser(format).Still(pixels);
}

}  // namespace clip
