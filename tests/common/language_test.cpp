#include "language.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

#include "fake_platform.h"
#include "results.h"
#include "sentence.h"
#include "text_table.h"
#include "text_ids.h"

namespace {

using namespace std::string_view_literals;

TEST(Language, ChosenAsWindowsChoosesIt) {
    struct Case {
        const wchar_t* commandLine;
        std::wstring_view preferred;
        const wchar_t* chosen;
        bool pseudoCarried = false;
    };
    const Case cases[] = {
        {L"/lang=ja-JP", L"de-DE"sv, L"ja-JP"},         // the switch wins
        {L"/handover /LANG=De", L"fr-FR"sv, L"de-DE"},  // in any case, a language alone
        {L"/lang=xx-YY", L"fr-FR"sv, L"fr-FR"},         // unknown: as if not given
        {L"/lang=", L"es-ES"sv, L"es-ES"},              // empty: likewise
        {L"", L"fr-FR\0de-DE\0"sv, L"fr-FR"},           // exact, first first
        {L"", L"de-AT\0fr-FR\0"sv, L"de-DE"},           // the region after, in order
        {L"", L"pt-BR\0es-MX\0en-GB\0"sv, L"es-ES"},    // unshipped ones passed over
        {L"", L"zh-TW\0ja-JP\0"sv, L"ja-JP"},           // Traditional is not Simplified
        {L"", L"zh-Hant-HK\0"sv, L"en-US"},             // nor its script
        {L"", L"zh-SG\0"sv, L"zh-CN"},                  // Simplified of another region
        {L"", L"zh-Hans-CN\0"sv, L"zh-CN"},             // named by its script
        {L"", L"zh-Hans-HK\0"sv, L"zh-CN"},             // which outranks the region
        {L"", L"zh-Hans-MO\0"sv, L"zh-CN"},
        {L"/lang=zh-CHS", L"ja-JP"sv, L"zh-CN"},  // the older script names too
        {L"/lang=zh-CHT", L"ja-JP"sv, L"ja-JP"},
        {L"", L"ar-EG\0"sv, L"ar-SA"},                     // Arabic of another region
        {L"", L"qps-ploc\0ar-EG\0"sv, L"ar-SA"},           // no pseudo-language shipped
        {L"/lang=qps-ploc", L"de-DE"sv, L"de-DE"},         // nor chosen by a switch
        {L"", L"qps-ploc\0ar-EG\0"sv, L"qps-ploc", true},  // but in the test build
        {L"/lang=QPS-PLOCM", L""sv, L"qps-plocm", true},   // matched whole
        {L"", L"qps-plocx\0"sv, L"en-US", true},           // never by region
        {L"", L"ko-KR\0pt-PT\0"sv, L"en-US"},              // nothing matching
        {L"", L""sv, L"en-US"},                            // nothing preferred
    };
    const auto shipped = [](const launcher::Language& language) {
        return !language.tag.starts_with(L"qps");
    };
    const auto all = [](const launcher::Language&) { return true; };
    for (const Case& c : cases) {
        const launcher::CarriesLanguage carries = c.pseudoCarried ? +all : +shipped;
        EXPECT_EQ(launcher::ChooseLanguage(c.commandLine, c.preferred, carries).tag, c.chosen)
            << fake::Narrow(c.commandLine) << " / " << fake::Narrow(std::wstring(c.preferred));
    }
}

// A system message inside one of our sentences ends as the sentence does: its own line end
// and full stop go, Latin or East Asian.
TEST(SystemMessage, LosesItsFullStopInsideASentence) {
    const std::pair<std::wstring_view, std::wstring_view> cases[] = {
        {L"The system cannot find the file specified.\r\n",
         L"The system cannot find the file specified"},
        {L"指定されたファイルが見つかりません。\r\n", L"指定されたファイルが見つかりません"},
        {L"系统找不到指定的文件。 ", L"系统找不到指定的文件"},
        {L"v1.2 failed", L"v1.2 failed"},
        {L"。\r\n", L""},
    };
    for (const auto& [message, inner] : cases) {
        EXPECT_EQ(base::WithoutFullStop(message), inner) << fake::Narrow(std::wstring(inner));
    }
}

// Each program's English table, as the build packs it, holds every English text the program
// uses, and a damaged table is refused, never read past.
TEST(TextTable, HoldsEveryTextOfItsProgramAndRefusesDamage) {
    const std::map<int, std::wstring_view> english{
#include "english_texts.inc"
    };
    const auto read = [](const std::string& name) {
        std::ifstream in(std::string(VARNOK_TEXTS_DIR) + "/" + name, std::ios::binary);
        return std::vector<uint8_t>{std::istreambuf_iterator<char>(in), {}};
    };
    for (const auto& [program, own, other] :
         {std::tuple{"setup", texts::kSetupContinue, texts::kTourletNext},
          std::tuple{"tourlet", texts::kTourletNext, texts::kSetupContinue}}) {
        const std::vector<uint8_t> packed = read(std::string(program) + ".en-US.texts");
        const launcher::TextTable table = fake::Value(launcher::TextTable::Unpack(packed));
        for (const int id : {int{texts::kFatalErrorText}, int{texts::kLayout}, int{own}}) {
            EXPECT_EQ(table.Text(id), english.at(id)) << program << " " << id;
        }
        EXPECT_EQ(table.Text(other), L"") << program << ": another program's text";
        for (size_t cut = 0; cut < packed.size(); cut += 7) {
            EXPECT_FALSE(launcher::TextTable::Unpack(std::span(packed).first(cut))) << cut;
        }
    }
}

}  // namespace
