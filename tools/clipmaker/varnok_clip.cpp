#include "varnok_clip.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace clipmaker {
namespace {

// Palette layout: white, a ramp from white to the lettering's blue, a grey ramp for the
// disc's rim, then the flat colours of the disc.
constexpr uint8_t kWhite = 0;
constexpr uint8_t kInkRamp = 1;  // 1..16
constexpr int kInkSteps = 16;
constexpr uint8_t kGreyRamp = 17;  // 17..32
constexpr int kGreySteps = 16;
constexpr uint8_t kHubGrey = 33;
constexpr uint8_t kSheenFirst = 34;  // 34..41
constexpr int kSheenCount = 8;

constexpr uint32_t kInk = 0x1B2F8F;
constexpr uint32_t kRimGrey = 0x6E6E78;
constexpr std::array<uint32_t, kSheenCount> kSheen = {0xC6D8F0, 0xD8CCEE, 0xE4E4EA, 0xF2F2F4,
                                                      0xF4EDC4, 0xCFEBD2, 0xDADAE0, 0xBFC3CC};

constexpr double kCentreX = 180.0;
constexpr double kCentreY = 146.0;
constexpr double kOuterRadius = 112.0;
constexpr double kDataRadius = 40.0;
constexpr double kHoleRadius = 15.0;
constexpr double kDegreesPerFrame = 7.5;

uint32_t Mix(uint32_t from, uint32_t to, double amount) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double a = (from >> shift) & 0xFF;
        const double b = (to >> shift) & 0xFF;
        out |= static_cast<uint32_t>(std::lround(a + (b - a) * amount)) << shift;
    }
    return out;
}

struct Point {
    double x;
    double y;
};
using Stroke = std::vector<Point>;

// Letter strokes in a unit box, y down; drawn as round-ended thick lines.
std::vector<Stroke> LetterStrokes(char letter) {
    switch (letter) {
        case 'V':
            return {{{0, 0}, {0.5, 1}, {1, 0}}};
        case 'A':
            return {{{0, 1}, {0.5, 0}, {1, 1}}, {{0.24, 0.64}, {0.76, 0.64}}};
        case 'R':
            return {{{0, 1}, {0, 0}, {0.68, 0}, {0.92, 0.13}, {0.92, 0.37}, {0.68, 0.5}, {0, 0.5}},
                    {{0.5, 0.5}, {0.95, 1}}};
        case 'N':
            return {{{0, 1}, {0, 0}, {1, 1}, {1, 0}}};
        case 'K':
            return {{{0, 0}, {0, 1}}, {{0.95, 0}, {0, 0.62}}, {{0.32, 0.42}, {0.98, 1}}};
        case 'O': {
            Stroke ring;
            for (int i = 0; i <= 32; ++i) {
                const double a = 2 * std::numbers::pi * i / 32;
                ring.push_back({0.5 + 0.5 * std::cos(a), 0.5 + 0.5 * std::sin(a)});
            }
            return {ring};
        }
        default:
            return {};
    }
}

double DistanceToSegment(Point p, Point a, Point b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length = dx * dx + dy * dy;
    const double t =
        length == 0 ? 0 : std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Coverage 0..1 of each pixel by the word "VARNOK", from 4 x 4 samples a pixel.
std::vector<double> DrawWordCoverage() {
    constexpr double kLetterWidth = 34;
    constexpr double kLetterHeight = 42;
    constexpr double kGap = 11;
    constexpr double kTop = 286;
    constexpr double kPen = 3.6;  // half the stroke width
    const std::string word = "VARNOK";
    const auto letters = static_cast<double>(word.size());
    const double left = (kClipSide - (letters * kLetterWidth + (letters - 1) * kGap)) / 2;

    std::vector<std::vector<Point>> segments;  // in pixels
    for (size_t i = 0; i < word.size(); ++i) {
        const double x0 = left + static_cast<double>(i) * (kLetterWidth + kGap);
        for (const Stroke& stroke : LetterStrokes(word[i])) {
            std::vector<Point> pixels;
            for (Point p : stroke) {
                pixels.push_back({x0 + p.x * kLetterWidth, kTop + p.y * kLetterHeight});
            }
            segments.push_back(pixels);
        }
    }
    std::vector<double> coverage(static_cast<size_t>(kClipSide) * kClipSide, 0.0);
    for (int y = static_cast<int>(kTop - kPen) - 1;
         y <= static_cast<int>(kTop + kLetterHeight + kPen) + 1; ++y) {
        for (int x = 0; x < kClipSide; ++x) {
            int hits = 0;
            for (int s = 0; s < 16; ++s) {
                const Point p{x + (s % 4 + 0.5) / 4, y + (s / 4 + 0.5) / 4};
                const bool inside = std::any_of(segments.begin(), segments.end(), [&](auto& line) {
                    for (size_t k = 1; k < line.size(); ++k) {
                        if (DistanceToSegment(p, line[k - 1], line[k]) <= kPen) {
                            return true;
                        }
                    }
                    return false;
                });
                hits += inside ? 1 : 0;
            }
            coverage[static_cast<size_t>(y) * kClipSide + static_cast<size_t>(x)] = hits / 16.0;
        }
    }
    return coverage;
}

// The disc's colour at one pixel: flat sheen sectors that turn with the frame, a grey hub
// around the hole, and an anti-aliased rim that stays put.
uint8_t DiscPixel(int x, int y, double turn) {
    const double dx = x + 0.5 - kCentreX;
    const double dy = y + 0.5 - kCentreY;
    const double r = std::hypot(dx, dy);
    if (r > kOuterRadius + 1 || r < kHoleRadius) {
        return kWhite;
    }
    if (r > kOuterRadius - 1.5) {
        const double edge = std::clamp(kOuterRadius + 1 - r, 0.0, 1.0);
        return static_cast<uint8_t>(kGreyRamp + std::lround(edge * (kGreySteps - 1)));
    }
    if (r < kDataRadius) {
        return r < kHoleRadius + 1.5 ? static_cast<uint8_t>(kGreyRamp + kGreySteps / 2) : kHubGrey;
    }
    double angle = std::atan2(dy, dx) - turn;
    angle = std::fmod(angle + 4 * std::numbers::pi, std::numbers::pi);  // two-fold symmetry
    const int sector = static_cast<int>(angle / (std::numbers::pi / kSheenCount)) % kSheenCount;
    return static_cast<uint8_t>(kSheenFirst + sector);
}

}  // namespace

std::vector<uint32_t> VarnokPalette() {
    std::vector<uint32_t> palette(256, 0x000000);
    palette[kWhite] = 0xFFFFFF;
    for (int i = 0; i < kInkSteps; ++i) {
        palette[static_cast<size_t>(kInkRamp + i)] =
            Mix(0xFFFFFF, kInk, (i + 1) / double{kInkSteps});
    }
    for (int i = 0; i < kGreySteps; ++i) {
        palette[static_cast<size_t>(kGreyRamp + i)] =
            Mix(0xFFFFFF, kRimGrey, (i + 1) / double{kGreySteps});
    }
    palette[kHubGrey] = 0xE6E8EC;
    std::copy(kSheen.begin(), kSheen.end(), palette.begin() + kSheenFirst);
    return palette;
}

std::vector<IndexedPicture> DrawVarnokFrames() {
    const std::vector<double> word = DrawWordCoverage();
    std::vector<IndexedPicture> frames;
    for (int f = 0; f < kClipFrames; ++f) {
        IndexedPicture picture{kClipSide, kClipSide,
                               std::vector<uint8_t>(static_cast<size_t>(kClipSide) * kClipSide)};
        const double turn = f * kDegreesPerFrame * std::numbers::pi / 180;
        const double fade = std::min(1.0, (f + 1) / 10.0);  // the name fades in over 10 frames
        for (int y = 0; y < kClipSide; ++y) {
            for (int x = 0; x < kClipSide; ++x) {
                const size_t at = static_cast<size_t>(y) * kClipSide + static_cast<size_t>(x);
                const long ink = std::lround(word[at] * fade * kInkSteps);
                picture.pixels[at] =
                    ink > 0 ? static_cast<uint8_t>(kInkRamp + ink - 1) : DiscPixel(x, y, turn);
            }
        }
        frames.push_back(std::move(picture));
    }
    return frames;
}

Bytes MakeVarnokClip() {
    const std::vector<IndexedPicture> pictures = DrawVarnokFrames();
    AviLayout layout;
    layout.width = kClipSide;
    layout.height = kClipSide;
    layout.compression = kBiRle8;
    layout.palette = VarnokPalette();
    layout.rate = kClipFramesPerSecond;
    for (size_t i = 0; i < pictures.size(); ++i) {
        layout.frames.push_back(EncodeRle8(pictures[i], i == 0 ? nullptr : &pictures[i - 1]));
    }
    return WriteAvi(layout);
}

}  // namespace clipmaker
