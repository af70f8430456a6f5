#include "text_layout.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::wstring>;

// Five pixels a character: a box of 50 pixels holds ten.
int Measure(std::wstring_view text) {
    return static_cast<int>(text.size()) * 5;
}

// The display lines, paragraph after paragraph.
Lines DisplayLines(std::wstring_view text, int width, int maxLines) {
    Lines lines;
    for (const forms::Paragraph& paragraph :
         forms::DisplayParagraphs(text, width, maxLines, Measure, false)) {
        lines.insert(lines.end(), paragraph.lines.begin(), paragraph.lines.end());
    }
    return lines;
}

TEST(DisplayLines, BreakAtLineFeedsWrapAtSpacesAndCutBelowTheBox) {
    struct Case {
        const wchar_t* text;
        int maxLines;
        Lines lines;
    };
    const Case cases[] = {
        {L"one\n\ntwo", 19, {L"one", L"", L"two"}},
        {L"exactly 10", 19, {L"exactly 10"}},
        {L"eleven char and more", 19, {L"eleven", L"char and", L"more"}},
        {L"two  spaces here", 19, {L"two", L"spaces", L"here"}},
        {L"   indented", 19, {L"   indented"}},
        {L"unbreakablewords go", 19, {L"unbreakablewords", L"go"}},
        {L"a\nb\nc\nd", 2, {L"a", L"b"}},
        {L"aaaa bbbb cccc dddd", 1, {L"aaaa bbbb"}},
        {L"trailing\n", 19, {L"trailing", L""}},
        {L"            ", 19, {L"            "}},  // spaces alone, wider than the box
        // Between any two ideographs or kana, never before a closing mark nor after an
        // opening one, and at a space among Latin words.
        {L"日本語のテキストです。ここ", 19, {L"日本語のテキストで", L"す。ここ"}},
        {L"一二三四五六七八九十。", 19, {L"一二三四五六七八九", L"十。"}},
        {L"一二三四五六七八九「十」", 19, {L"一二三四五六七八九", L"「十」"}},
        {L"VARNOK は小さな会社の", 19, {L"VARNOK は小さ", L"な会社の"}},
        {L"ABCDEFGHIJ日本", 19, {L"ABCDEFGHIJ", L"日本"}},  // before an ideograph
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DisplayLines(c.text, 50, c.maxLines), c.lines) << c.text;
    }
}

// Laid out from the left, a paragraph reads in the direction of its first letter; laid out
// from the right, right to left where any letter is Arabic or Hebrew.
TEST(DisplayLines, EachParagraphReadsInTheDirectionItsLettersAndTheLayoutGive) {
    const wchar_t* text = L"مرحبا VARNOK\n\n  support@pelmor.example.\n42 שלום\nVARNOK إلى:";
    for (const auto& [rightToLeftLayout, expected] :
         {std::pair{false, std::vector<bool>{true, false, false, true, false}},
          std::pair{true, std::vector<bool>{true, false, false, true, true}}}) {
        std::vector<bool> directions;
        for (const auto& paragraph :
             forms::DisplayParagraphs(text, 50, 19, Measure, rightToLeftLayout)) {
            directions.push_back(paragraph.rightToLeft);
        }
        EXPECT_EQ(directions, expected) << rightToLeftLayout;
    }
}

}  // namespace
