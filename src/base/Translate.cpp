#include "base/Translate.h"

#include <cstdlib>
#include <cstring>
#include <string>

#ifndef _WIN32
#include <libintl.h>
#include <clocale>
#endif

namespace vorta {

namespace {

#ifndef _WIN32
constexpr const char* kDomain = "vorta";
bool started = false;
#endif

bool StartsWith(std::string_view text, std::string_view lead) {
    return text.substr(0, lead.size()) == lead;
}

const char* Env(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

}  // namespace

UiLanguage ChosenLanguage() {
#ifdef _WIN32
    return UiLanguage::Chinese;  // the Windows build has no catalogs
#endif
    // LANGUAGE is a list in order of preference; only the two languages the client speaks count.
    if (const char* list = Env("LANGUAGE")) {
        std::string_view rest(list);
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            const std::string_view entry = rest.substr(0, colon);
            if (StartsWith(entry, "zh")) return UiLanguage::Chinese;
            if (StartsWith(entry, "en")) return UiLanguage::English;
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = Env(name))
            return StartsWith(value, "zh") ? UiLanguage::Chinese : UiLanguage::English;
    return UiLanguage::English;
}

std::filesystem::path LocaleDirFor(const std::filesystem::path& programDir) {
    std::error_code ec;
    if (std::filesystem::is_directory(programDir / "locale", ec)) return programDir / "locale";
#ifdef VORTA_LOCALE_DIR
    return VORTA_LOCALE_DIR;
#else
    return programDir / "locale";
#endif
}

void StartTranslations([[maybe_unused]] const std::filesystem::path& localeDir) {
#ifndef _WIN32
    const bool chinese = ChosenLanguage() == UiLanguage::Chinese;
    // gettext takes the catalog from LANGUAGE whenever LC_MESSAGES is not the C locale; a locale
    // the system has not generated leaves C, and then C.UTF-8 (always there) stands in.
    ::setenv("LANGUAGE", chinese ? "zh_CN" : "en", 1);
    std::setlocale(LC_MESSAGES, "");
    KeepTranslationsLocale();
    ::bindtextdomain(kDomain, localeDir.c_str());
    ::bind_textdomain_codeset(kDomain, "UTF-8");
    // The C library's own messages (strerror) come in the chosen language too: in UTF-8, not in
    // the C locale's ASCII, which would turn them into question marks.
    ::bind_textdomain_codeset("libc", "UTF-8");
    started = true;
#endif
}

void KeepTranslationsLocale() {
#ifndef _WIN32
    const char* locale = std::setlocale(LC_MESSAGES, nullptr);
    if (!locale || !std::strcmp(locale, "C") || !std::strcmp(locale, "POSIX"))
        std::setlocale(LC_MESSAGES, "C.UTF-8");
#endif
}

const char* Tr(const char* text) {
#ifndef _WIN32
    if (started) return ::dgettext(kDomain, text);
#endif
    return text;
}

std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size() + 32);
    auto arg = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (arg != args.end() && pattern[i] == '{' && i + 1 < pattern.size() &&
            pattern[i + 1] == '}') {
            out.append(*arg++);
            ++i;
        } else {
            out.push_back(pattern[i]);
        }
    }
    return out;
}

}  // namespace vorta
