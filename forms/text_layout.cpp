#include "text_layout.h"

namespace forms {
namespace {

// Chinese and Japanese: ideographs, kana and full-width forms, which break between any two.
bool Ideographic(wchar_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF);
}

// What may not start a line (closing marks, small kana, the prolonged sound mark), and what
// may not end one (opening marks): the basic rules of East Asian line breaking.
bool Closing(wchar_t c) {
    return std::wstring_view(
               L"、。，．！？：；・ー」』）】〕〉》〙〗〟’”ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮ"
               L"々")
               .find(c) != std::wstring_view::npos;
}

bool Opening(wchar_t c) {
    return std::wstring_view(L"「『（【〔〈《〘〖〝‘“").find(c) != std::wstring_view::npos;
}

// A line may break before `at`: at a space, or between two characters where one is
// ideographic and the rules allow it.
bool BreaksBefore(std::wstring_view line, size_t at) {
    const wchar_t before = line[at - 1];
    const wchar_t after = line[at];
    if (after == L' ') {
        return before != L' ';
    }
    return before != L' ' && (Ideographic(before) || Ideographic(after)) && !Closing(after) &&
           !Opening(before);
}

// Where the longest start of `line` that fits ends, broken at a space or between East Asian
// characters; the whole line when it fits. A first word that alone is too wide is taken
// whole, and so is a line of spaces alone, which has no word to break after.
size_t FittingEnd(std::wstring_view line, int width, const MeasureText& measure) {
    const size_t firstWord = line.find_first_not_of(L' ');
    if (firstWord == std::wstring_view::npos || measure(line) <= width) {
        return line.size();
    }
    size_t fits = 0;
    size_t first = 0;
    for (size_t at = firstWord + 1; at < line.size(); ++at) {
        if (!BreaksBefore(line, at)) {
            continue;
        }
        first = first == 0 ? at : first;
        if (measure(line.substr(0, at)) > width) {
            break;
        }
        fits = at;
    }
    if (fits == 0) {
        return first == 0 ? line.size() : first;
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

std::vector<Paragraph> DisplayParagraphs(std::wstring_view text, int width, int maxLines,
                                         const MeasureText& measure, bool rightToLeftLayout) {
    std::vector<Paragraph> paragraphs;
    size_t start = 0;
    for (int lines = 0; lines < maxLines;) {
        const size_t feed = text.find(L'\n', start);
        const std::wstring_view line = text.substr(start, feed - start);
        Paragraph& paragraph = paragraphs.emplace_back();
        paragraph.rightToLeft = ReadsRightToLeft(line, rightToLeftLayout);
        if (line.empty()) {
            paragraph.lines.emplace_back();
        } else {
            WrapParagraph(line, width, maxLines - lines, measure, paragraph.lines);
        }
        lines += static_cast<int>(paragraph.lines.size());
        if (feed == std::wstring_view::npos) {
            break;
        }
        start = feed + 1;
    }
    return paragraphs;
}

bool ReadsRightToLeft(std::wstring_view paragraph, bool rightToLeftLayout) {
    for (const wchar_t c : paragraph) {
        if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) ||
            (c >= 0xFE70 && c <= 0xFEFF)) {
            return true;  // Hebrew, Arabic and their presentation forms
        }
        if (rightToLeftLayout) {
            continue;  // a letter of any other script leaves the choice to those after it
        }
        if ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= 0x00C0 && c <= 0x024F) ||
            (c >= 0x0370 && c <= 0x052F) || (c >= 0x2E80 && c <= 0xFAFF)) {
            return false;  // Latin, Greek, Cyrillic, East Asian
        }
    }
    return false;
}

}  // namespace forms
