// The committed pictures and icon: format, frame, stripe, and lettering inside its bounds and
// nowhere else.
#include <gtest/gtest.h>

#include "results.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "avi_clip.h"
#include "bitmap_file.h"
#include "inflate.h"

namespace {

using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kYellow{255, 255, 0};

std::vector<uint8_t> ReadFile(const std::string& path,
                              const std::string& folder = VARNOK_SOURCE_DIR) {
    std::ifstream in(folder + "/" + path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 |
           static_cast<uint32_t>(b.at(at + 3)) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

// A 24-bit, uncompressed, bottom-up bitmap file, read as rows from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;

    explicit Picture(const std::string& path) {
        const std::vector<uint8_t> file = ReadFile(path);
        EXPECT_EQ(U16(file, 0), 0x4D42) << path;  // "BM"
        EXPECT_EQ(U32(file, 14), 40u) << path;    // BITMAPINFOHEADER
        EXPECT_EQ(U16(file, 28), 24) << path;     // bits per pixel
        EXPECT_EQ(U32(file, 30), 0u) << path;     // uncompressed
        width = static_cast<int>(U32(file, 18));
        height = static_cast<int>(U32(file, 22));  // positive: bottom-up
        const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
        const size_t bits = U32(file, 10);
        EXPECT_EQ(file.size(), bits + stride * static_cast<size_t>(height)) << path;
        for (int y = 0; y < height; ++y) {
            const size_t row = bits + stride * static_cast<size_t>(height - 1 - y);
            for (int x = 0; x < width; ++x) {
                const size_t at = row + 3 * static_cast<size_t>(x);
                pixels.push_back({file.at(at + 2), file.at(at + 1), file.at(at)});
            }
        }
    }

    Rgb At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

struct Box {
    int left, top, right, bottom;  // inclusive
    bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// Lettering may only stand inside its boxes; every other pixel has the ground's colour.
void ExpectGround(const Picture& picture, const std::vector<Box>& lettering,
                  Rgb (*ground)(int x, int y)) {
    int stray = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const bool inLettering =
                std::any_of(lettering.begin(), lettering.end(),
                            [&](const Box& box) { return box.Contains(x, y); });
            if (!inLettering && picture.At(x, y) != ground(x, y)) {
                ADD_FAILURE_AT(__FILE__, __LINE__) << "stray pixel at " << x << "," << y;
                if (++stray > 5) {
                    return;
                }
            }
        }
    }
}

int CountIn(const Picture& picture, const Box& box, bool (*match)(Rgb)) {
    int count = 0;
    for (int y = box.top; y <= box.bottom; ++y) {
        for (int x = box.left; x <= box.right; ++x) {
            count += match(picture.At(x, y)) ? 1 : 0;
        }
    }
    return count;
}

bool IsWhite(Rgb c) {
    return c == kWhite;
}
bool IsBlack(Rgb c) {
    return c == kBlack;
}
bool IsGrey(Rgb c) {
    return c[0] == c[1] && c[1] == c[2] && c[0] > 0 && c[0] < 255;
}

TEST(Banner, IsARedBarFramedInBlackWithTheMakersName) {
    const Picture banner("setup/res/banner.bmp");
    ASSERT_EQ(banner.width, 634);
    ASSERT_EQ(banner.height, 51);
    const Box name{42, 17, 137, 39};
    ExpectGround(banner, {name}, [](int x, int y) {
        if (y == 0 || x == 0 || x == 633) {
            return kBlack;
        }
        if (y == 50) {
            return x <= 33 ? kYellow : kWhite;
        }
        return kRed;
    });
    EXPECT_GT(CountIn(banner, name, IsWhite), 300);
}

TEST(SidePanel, HasItsStripeFrameTitleAndSmallPrint) {
    const Picture panel("setup/res/side_panel.bmp");
    ASSERT_EQ(panel.width, 251);
    ASSERT_EQ(panel.height, 414);
    const Box title{58, 39, 196, 67}, product{57, 86, 231, 114};
    const Box notice{34, 297, 250, 339}, rights{34, 352, 250, 379}, hidden{75, 389, 183, 400};
    ExpectGround(panel, {title, product, notice, rights, hidden}, [](int x, int y) {
        if (x == 0 || y == 413) {
            return kBlack;
        }
        return x <= 33 ? kYellow : kWhite;
    });
    EXPECT_GT(CountIn(panel, title, IsBlack), 400);
    EXPECT_GT(CountIn(panel, product, IsBlack), 400);
    for (const Box& small : {notice, rights, hidden}) {
        EXPECT_GT(CountIn(panel, small, IsBlack), 5);
        EXPECT_GT(CountIn(panel, small, IsGrey), 20) << "small print has shaded edges";
    }
}

// Each line of the notices is centred on column 143.
TEST(SidePanel, SmallPrintLinesAreCentredOnColumn143) {
    const Picture panel("setup/res/side_panel.bmp");
    int lines = 0;
    int lineLeft = 9999, lineRight = -1;
    for (int y = 297; y <= 380; ++y) {
        int left = 9999, right = -1;
        for (int x = 34; x < 251; ++x) {
            if (panel.At(x, y) != kWhite) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        if (right >= 0) {
            lineLeft = std::min(lineLeft, left);
            lineRight = std::max(lineRight, right);
        } else if (lineRight >= 0) {
            ++lines;
            EXPECT_LE(std::abs((lineLeft + lineRight) - 2 * 143), 3) << "line ending at row " << y;
            lineLeft = 9999;
            lineRight = -1;
        }
    }
    EXPECT_EQ(lines, 5);
}

TEST(WindowIcon, IsOne32By32SixteenColourImageWithAnOpaqueMask) {
    const std::vector<uint8_t> icon = ReadFile("common/res/varnok.ico");
    ASSERT_EQ(icon.size(), 766u);
    EXPECT_EQ(U16(icon, 0), 0);   // reserved
    EXPECT_EQ(U16(icon, 2), 1);   // an icon
    EXPECT_EQ(U16(icon, 4), 1);   // one image
    EXPECT_EQ(icon[6], 32);       // width
    EXPECT_EQ(icon[7], 32);       // height
    EXPECT_EQ(icon[8], 16);       // colours
    EXPECT_EQ(U16(icon, 12), 4);  // bits per pixel
    EXPECT_EQ(U32(icon, 14), 744u);
    EXPECT_EQ(U32(icon, 18), 22u);
    EXPECT_EQ(U32(icon, 22), 40u);  // the image's own header
    EXPECT_EQ(U32(icon, 26), 32u);
    EXPECT_EQ(U32(icon, 30), 64u);  // colour and mask rows together
    EXPECT_EQ(U16(icon, 36), 4);
    const std::vector<uint32_t> standard = {
        0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
        0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    std::array<int, 16> used{};
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(U32(icon, 62 + 4 * i), standard[i]) << "palette entry " << i;
    }
    for (size_t at = 126; at < 126 + 512; ++at) {
        ++used[icon[at] >> 4];
        ++used[icon[at] & 15];
    }
    for (size_t at = 638; at < 766; ++at) {
        EXPECT_EQ(icon[at], 0) << "the mask leaves every pixel opaque";
    }
    EXPECT_GT(used[15], 300);  // white ground
    EXPECT_GT(used[12], 50);   // blue screen and carton band
    EXPECT_GT(used[7], 50);    // grey computer
    EXPECT_GT(used[10], 0);    // green light
    EXPECT_GT(used[9], 0);     // red band
}

}  // namespace

namespace {

// The wizard's side picture: an 8-bit bitmap with a full palette of which exactly seven
// colours occur, at the size and resolution of the original artwork.
TEST(SidePicture, IsAn8BitBottomUpBitmapOfSevenColours) {
    const std::vector<uint8_t> file = ReadFile("tourlet/res/side_picture.bmp");
    ASSERT_EQ(file.size(), 30598u);
    EXPECT_EQ(U16(file, 0), 0x4D42);
    EXPECT_EQ(U32(file, 2), 30598u);
    EXPECT_EQ(U32(file, 10), 14u + 40 + 1024);  // the pixels follow the 256-entry palette
    EXPECT_EQ(U32(file, 18), 120u);
    EXPECT_EQ(U32(file, 22), 246u);  // positive: bottom-up
    EXPECT_EQ(U16(file, 28), 8);
    EXPECT_EQ(U32(file, 30), 0u);  // uncompressed
    EXPECT_EQ(U32(file, 38), 3937u);
    EXPECT_EQ(U32(file, 42), 3937u);
    std::set<uint32_t> colours;
    for (size_t at = 1078; at < file.size(); ++at) {
        const size_t entry = 54 + 4 * size_t{file[at]};
        colours.insert(uint32_t{file[entry + 2]} << 16 | uint32_t{file[entry + 1]} << 8 |
                       file[entry]);
    }
    EXPECT_EQ(colours, (std::set<uint32_t>{0x008080, 0xFFFFFF, 0xC0C0C0, 0x000000, 0x808080,
                                           0x800000, 0xFF0000}));
    EXPECT_EQ(file[1078], file[1078 + 120 * 245]) << "teal at both corners";
}

}  // namespace

namespace {

std::vector<uint32_t> DecodedPixels(const std::vector<uint8_t>& file) {
    return fake::Value(clip::DecodeBitmapFile(file)).pixels;
}

// The programs carry each picture packed by the build from the drawn file: RLE8, deflated.
TEST(PackedPictures, AreSmallAndDecodeToTheDrawnPixels) {
    for (const std::string name :
         {"setup/res/banner", "setup/res/side_panel", "tourlet/res/side_picture"}) {
        const std::vector<uint8_t> drawn = ReadFile(name + ".bmp");
        const std::vector<uint8_t> carried =
            ReadFile(name.substr(name.rfind('/') + 1) + ".packed", VARNOK_PICTURES_DIR);
        ASSERT_FALSE(carried.empty()) << name;
        EXPECT_LT(carried.size() * 12, drawn.size()) << name;
        EXPECT_EQ(fake::Value(clip::DecodePackedPicture(carried)).pixels, DecodedPixels(drawn))
            << name;
    }
}

// Every kind of block, and damage of every kind refused, never read or written past.
TEST(PackedPictures, InflateTakesEveryBlockKindAndRefusesDamage) {
    struct Case {
        std::vector<uint8_t> packed;
        std::string inflated;  // empty: refused
    };
    const std::vector<uint8_t> stored{0x01, 0x09, 0x00, 0xF6, 0xFF, 0x56, 0x41,
                                      0x52, 0x4E, 0x4F, 0x4B, 0x20, 0x43, 0x44};
    const std::vector<uint8_t> fixed{0x0B, 0x48, 0xCD, 0xC9, 0xCD, 0x2F,
                                     0x52, 0x08, 0x40, 0xA6, 0x14, 0x01};
    std::vector<uint8_t> badLength = stored, badType = fixed;
    badLength[3] = 0xF7;                                   // its length's complement does not match
    badType[0] |= 0x06;                                    // block type 3
    const std::vector<uint8_t> farBack{0x03, 0x02, 0x00};  // copies from before the start
    const Case cases[] = {
        {stored, "VARNOK CD"},
        {fixed, "Pelmor Pelmor Pelmor!"},
        {badLength, ""},
        {farBack, ""},
        {badType, ""},
        {std::vector<uint8_t>(fixed.begin(), fixed.end() - 2), ""},  // cut short
    };
    for (const Case& c : cases) {
        const auto inflated = base::Inflate(c.packed, c.inflated.empty() ? 21 : c.inflated.size());
        EXPECT_EQ(inflated ? std::string(inflated->begin(), inflated->end()) : "", c.inflated);
    }
    EXPECT_FALSE(base::Inflate(fixed, 20)) << "more than it said";
    EXPECT_FALSE(base::Inflate(fixed, 22)) << "less than it said";

    // A dynamic block (the picture) cut anywhere, or with any byte changed, is refused or
    // decodes within its bounds.
    const std::vector<uint8_t> picture = ReadFile("side_picture.packed", VARNOK_PICTURES_DIR);
    ASSERT_GT(picture.size(), 100u);
    for (size_t at = 4; at < picture.size(); ++at) {
        EXPECT_FALSE(clip::DecodePackedPicture(std::span(picture).first(at))) << at;
        std::vector<uint8_t> changed = picture;
        changed[at] ^= 0xA5;
        (void)clip::DecodePackedPicture(changed);
    }
}

TEST(PackedPictures, DamagedFilesAreRefused) {
    const std::vector<uint8_t> packed = ReadFile("side_picture.packed", VARNOK_PICTURES_DIR);
    ASSERT_GT(packed.size(), 4u);
    const std::vector<uint8_t> good =
        fake::Value(base::Inflate(std::span(packed).subspan(4), U32(packed, 0)));
    ASSERT_GT(good.size(), 100u);
    std::vector<uint8_t> notBitmap = good, pixelsOutside = good, cut = good, badDepth = good;
    notBitmap[0] = 'X';
    pixelsOutside[10] = 0xFF;
    pixelsOutside[13] = 0x7F;
    cut.resize(50);    // ends inside the header
    badDepth[28] = 7;  // bits per pixel
    // Shown in the box of a program whose picture is damaged, so never the clip reader's
    // developer words, which the programs do not carry.
    const struct {
        const std::vector<uint8_t>& file;
        const char* reason;
    } cases[] = {{notBitmap, "it is not a bitmap file"},
                 {pixelsOutside, "the bitmap's pixels lie outside the file"},
                 {cut, "it is not a bitmap file"},
                 {badDepth, "the bitmap is damaged"}};
    for (const auto& c : cases) {
        const base::Result<clip::Picture> decoded = clip::DecodeBitmapFile(c.file);
        ASSERT_FALSE(decoded) << c.reason;
        EXPECT_STREQ(decoded.error().what(), c.reason);
    }
}

}  // namespace
