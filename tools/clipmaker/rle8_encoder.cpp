#include "rle8_encoder.h"

#include <algorithm>

namespace clipmaker {
namespace {

// A jump costs 4 bytes, so shorter unchanged stretches are cheaper to repaint.
constexpr int32_t kShortestJump = 6;
constexpr int32_t kLongestCode = 255;

class Rle8Writer {
  public:
    // Moves the decoder's position to (x, y), rows counted from the bottom.
    void MoveTo(int32_t x, int32_t y) {
        if (y > y_ && x < x_) {
            Emit(0, 0);  // end of line: back to the left edge of the next row
            x_ = 0;
            ++y_;
        }
        while (x > x_ || y > y_) {
            const int32_t dx = std::min(x - x_, kLongestCode);
            const int32_t dy = std::min(y - y_, kLongestCode);
            Emit(0, 2);
            Emit(dx, dy);
            x_ += dx;
            y_ += dy;
        }
    }

    // Paints row pixels [begin, end) at the current position.
    void Paint(const uint8_t* row, int32_t begin, int32_t end) {
        int32_t x = begin;
        while (x < end) {
            const int32_t run = RunLength(row, x, end);
            if (run >= 3 || end - x <= 2) {
                Emit(run, row[x]);
                x += run;
                continue;
            }
            int32_t literal = 1;
            while (x + literal < end && literal < kLongestCode &&
                   RunLength(row, x + literal, end) < 3) {
                ++literal;
            }
            if (literal < 3) {
                Emit(run, row[x]);  // too short for a literal: a run of one or two
                x += run;
                continue;
            }
            Emit(0, literal);
            out_.insert(out_.end(), row + x, row + x + literal);
            if (literal & 1) {
                out_.push_back(0);
            }
            x += literal;
        }
        x_ += end - begin;
    }

    Bytes Finish() {
        Emit(0, 1);
        return std::move(out_);
    }

  private:
    static int32_t RunLength(const uint8_t* row, int32_t x, int32_t end) {
        int32_t run = 1;
        while (x + run < end && run < kLongestCode && row[x + run] == row[x]) {
            ++run;
        }
        return run;
    }

    void Emit(int32_t a, int32_t b) {
        out_.push_back(static_cast<uint8_t>(a));
        out_.push_back(static_cast<uint8_t>(b));
    }

    int32_t x_ = 0;
    int32_t y_ = 0;
    Bytes out_;
};

bool Changed(const IndexedPicture& picture, const IndexedPicture* previous, int32_t x,
             int32_t row) {
    return previous == nullptr || picture.At(x, row) != previous->At(x, row);
}

}  // namespace

Bytes EncodeRle8(const IndexedPicture& picture, const IndexedPicture* previous) {
    Rle8Writer writer;
    for (int32_t y = 0; y < picture.height; ++y) {
        const int32_t row = picture.height - 1 - y;
        const uint8_t* pixels = &picture.pixels[static_cast<size_t>(row * picture.width)];
        int32_t x = 0;
        while (x < picture.width) {
            if (!Changed(picture, previous, x, row)) {
                ++x;
                continue;
            }
            // Paint from here to the next unchanged stretch long enough to jump over.
            int32_t end = x + 1;
            int32_t unchanged = 0;
            while (end < picture.width && unchanged < kShortestJump) {
                unchanged = Changed(picture, previous, end, row) ? 0 : unchanged + 1;
                ++end;
            }
            if (unchanged >= kShortestJump) {
                end -= unchanged;
            }
            writer.MoveTo(x, y);
            writer.Paint(pixels, x, end);
            x = end;
        }
    }
    return writer.Finish();
}

}  // namespace clipmaker
