#include "front_end.h"

#include "fault.h"
#include "language.h"
#include "product.h"
#include "system_library.h"
#include "text.h"
#include "text_ids.h"

namespace launcher {
namespace {

// The user's preferred UI languages, most preferred first, each ended by a null character; none
// where they cannot be read.
std::wstring PreferredUiLanguages() {
    ULONG count = 0;
    ULONG size = 0;
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) || size == 0) {
        return {};
    }
    std::wstring names(size, L'\0');
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names.data(), &size)) {
        return {};
    }
    return names;
}

struct LanguageSearch {
    LANGID wanted;
    bool found = false;
};

BOOL CALLBACK FindLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR search) {
    auto& languageSearch = *reinterpret_cast<LanguageSearch*>(search);
    languageSearch.found = language == languageSearch.wanted;
    return !languageSearch.found;
}

// Whether the program carries a language: whether it has a text table in that language.
// The tables' languages are enumerated, since FindResourceEx would quietly answer with a
// table of another language where that one is missing.
bool Carries(const Language& language) {
    LanguageSearch search{language.id};
    EnumResourceLanguagesW(nullptr, L"TEXTS", MAKEINTRESOURCEW(1), FindLanguage,
                           reinterpret_cast<LONG_PTR>(&search));
    return search.found;
}

}  // namespace

FrontEnd::FrontEnd(const wchar_t* commandLine)
    : system_(ChooseLanguage(commandLine, PreferredUiLanguages(), Carries)) {
    base::win32::SetSystemMessageLanguage(system_.SpokenLanguage().id);
    // A disc taken out or unreadable fails the read, rather than raising the system's "There
    // is no disk in the drive" box over the window. This thread's mode only: the programs it
    // starts inherit the process's, which stays the system's.
    SetThreadErrorMode(SEM_FAILCRITICALERRORS, nullptr);
    base::win32::SetFaultTexts(system_.Text(texts::kOutOfMemory),
                               system_.Text(texts::kInternalFault), system_.ReadsRightToLeft());
    opens_ = TakeFrontEnd(system_, HandoverFrom(commandLine));
}

int FrontEnd::Run(forms::win32::FormWindow& window) {
    system_.SetOwner(window.Handle());
    WorkInProgramFolder(system_);
    const int code = window.Run(kProgramTitle);
    system_.LetGoOfFrontEndGuard();  // takes its mark off the window before the window goes
    return code;
}

}  // namespace launcher
