#include "text_layout.h"

namespace forms {
namespace {

// Where the longest start of `line` that fits ends, broken after a word; the whole line
// when it fits. A first word that alone is too wide is taken whole.
size_t FittingEnd(std::wstring_view line, int width, const MeasureText& measure) {
    if (measure(line) <= width) {
        return line.size();
    }
    size_t fits = 0;
    for (size_t space = line.find(L' '); space != std::wstring_view::npos;
         space = line.find(L' ', space + 1)) {
        if (space > 0 && line[space - 1] != L' ') {
            if (measure(line.substr(0, space)) > width) {
                break;
            }
            fits = space;
        }
    }
    if (fits == 0) {
        const size_t firstSpace = line.find(L' ', line.find_first_not_of(L' '));
        return firstSpace == std::wstring_view::npos ? line.size() : firstSpace;
    }
    return fits;
}

void WrapParagraph(std::wstring_view line, int width, int maxLines, const MeasureText& measure,
                   std::vector<std::wstring>& lines) {
    do {
        const size_t end = FittingEnd(line, width, measure);
        lines.emplace_back(line.substr(0, end));
        const size_t next = line.find_first_not_of(L' ', end);  // the break's spaces go
        line = next == std::wstring_view::npos ? std::wstring_view{} : line.substr(next);
    } while (!line.empty() && static_cast<int>(lines.size()) < maxLines);
}

}  // namespace

std::vector<std::wstring> DisplayLines(std::wstring_view text, int width, int maxLines,
                                       const MeasureText& measure) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (static_cast<int>(lines.size()) < maxLines) {
        const size_t feed = text.find(L'\n', start);
        const std::wstring_view line = text.substr(start, feed - start);
        if (line.empty()) {
            lines.emplace_back();
        } else {
            WrapParagraph(line, width, maxLines, measure, lines);
        }
        if (feed == std::wstring_view::npos) {
            break;
        }
        start = feed + 1;
    }
    return lines;
}

}  // namespace forms
