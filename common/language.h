// The language the programs speak, chosen once at start-up as Windows chooses a program's
// language: a `/lang=` switch, else the user's preferred UI languages in their order, each
// matched exactly or as the same language of another region, else English.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace launcher {

struct Language {
    std::wstring_view tag;  // as Windows names it: en-US, ja-JP, qps-ploc
    uint16_t id;            // its LANGID, which tags its resources
};

// What the CD's programs carry, English (United States) first: the fallback.
std::span<const Language> ShippedLanguages();

// Whether a program has the texts of a language: the test build carries the pseudo-languages
// as well.
using CarriesLanguage = bool (*)(const Language& language);

// The language a program speaks: `commandLine` is its own, without its name; `preferred`
// the user's preferred UI languages, most preferred first, each ended by a null character as
// Windows lists them; a language the program does not carry is no choice.
const Language& ChooseLanguage(std::wstring_view commandLine, std::wstring_view preferred,
                               CarriesLanguage carries);

// The switch that tells a program started by this one to speak the same language.
std::wstring LanguageSwitch(const Language& language);

}  // namespace launcher
