#include "language.h"

#include <algorithm>
#include <array>

#include "command_line.h"

namespace launcher {
namespace {

constexpr size_t kShippedCount = 7;
constexpr std::array<Language, kShippedCount + 2> kKnown{{
    {L"en-US", 0x0409},
    {L"de-DE", 0x0407},
    {L"fr-FR", 0x040C},
    {L"es-ES", 0x0C0A},
    {L"ja-JP", 0x0411},
    {L"zh-CN", 0x0804},
    {L"ar-SA", 0x0401},
    {L"qps-ploc", 0x0501},  // the test build's pseudo-languages
    {L"qps-plocm", 0x09FF},
}};

constexpr std::wstring_view kLanguageSwitch = L"/lang=";

// Language tags are ASCII and compare without regard to case (RFC 5646).
bool SameTag(std::wstring_view a, std::wstring_view b) {
    const auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](wchar_t x, wchar_t y) { return upper(x) == upper(y); });
}

// The first subtag of `tag`, and `tag` past it.
std::wstring_view NextSubtag(std::wstring_view& tag) {
    size_t end = 0;
    while (end < tag.size() && tag[end] != L'-' && tag[end] != L'_') {
        ++end;
    }
    const std::wstring_view subtag = tag.substr(0, end);
    tag.remove_prefix(end < tag.size() ? end + 1 : end);
    return subtag;
}

// Chinese is two written languages: Simplified and Traditional. The script says which where
// the tag names one (Hans and Hant, or the older CHS and CHT); else the region, Traditional
// for Taiwan, Hong Kong and Macao; a bare "zh" is taken as Simplified.
bool Traditional(std::wstring_view tag) {
    constexpr struct {
        const wchar_t* subtag;
        bool script;
        bool traditional;
    } kTelling[] = {{L"Hant", true, true}, {L"CHT", true, true}, {L"Hans", true, false},
                    {L"CHS", true, false}, {L"TW", false, true}, {L"HK", false, true},
                    {L"MO", false, true}};
    bool traditionalRegion = false;
    while (!tag.empty()) {
        const std::wstring_view subtag = NextSubtag(tag);
        for (const auto& telling : kTelling) {
            if (SameTag(subtag, telling.subtag)) {
                if (telling.script) {
                    return telling.traditional;
                }
                traditionalRegion = true;
            }
        }
    }
    return traditionalRegion;
}

// The same language, of any region: the primary subtags agree, and for Chinese the script.
// Pseudo-languages (qps-ploc and its kin) match only themselves.
bool SameLanguage(std::wstring_view a, std::wstring_view b) {
    std::wstring_view restOfA = a;
    std::wstring_view restOfB = b;
    const std::wstring_view primary = NextSubtag(restOfA);
    if (primary.empty() || !SameTag(primary, NextSubtag(restOfB)) || SameTag(primary, L"qps")) {
        return false;
    }
    return !SameTag(primary, L"zh") || Traditional(a) == Traditional(b);
}

const Language* Match(std::wstring_view wanted, CarriesLanguage carries) {
    for (const Language& language : kKnown) {
        if (SameTag(language.tag, wanted) && carries(language)) {
            return &language;
        }
    }
    for (const Language& language : kKnown) {
        if (SameLanguage(language.tag, wanted) && carries(language)) {
            return &language;
        }
    }
    return nullptr;
}

}  // namespace

std::span<const Language> ShippedLanguages() {
    return std::span(kKnown).first(kShippedCount);
}

const Language& ChooseLanguage(std::wstring_view commandLine, std::wstring_view preferred,
                               CarriesLanguage carries) {
    const std::wstring_view switched = SwitchValue(commandLine, kLanguageSwitch).value_or(L"");
    if (const Language* chosen = Match(switched, carries)) {
        return *chosen;
    }
    while (!preferred.empty()) {
        const size_t end = std::min(preferred.find(L'\0'), preferred.size());
        if (const Language* found = Match(preferred.substr(0, end), carries)) {
            return *found;
        }
        preferred.remove_prefix(std::min(end + 1, preferred.size()));
    }
    return kKnown[0];
}

std::wstring LanguageSwitch(const Language& language) {
    std::wstring languageSwitch(kLanguageSwitch);
    return languageSwitch.append(language.tag);
}

}  // namespace launcher
