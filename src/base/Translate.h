#pragma once
// The user's language for the texts users read. The texts are written in Chinese or, where the
// client's own words were English, in English; a catalog per language (gettext's, in the domain
// "vorta") gives the other. Without StartTranslations, or on Windows, every text is as written.

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace vorta {

enum class UiLanguage { Chinese, English };

// Chinese where the first language the user names is Chinese (LANGUAGE's list, then LC_ALL,
// LC_MESSAGES, LANG); English everywhere else, the C locale too. Always Chinese on Windows.
UiLanguage ChosenLanguage();

// Makes Tr answer in the chosen language from the catalogs under `localeDir`. Call it once, at
// the start of the program, before other threads run: it sets LANGUAGE (which the program's
// children inherit) and LC_MESSAGES.
void StartTranslations(const std::filesystem::path& localeDir);
// Sets LC_MESSAGES again after something else (QApplication) set the locale from the environment.
void KeepTranslationsLocale();

// Where the catalogs are: `locale` beside the program in a build tree, else the installed ones.
std::filesystem::path LocaleDirFor(const std::filesystem::path& programDir);

// `text` in the user's language: the catalog's text, which lives as long as the program, or
// `text` itself where the catalog has none.
const char* Tr(const char* text);

// Marks a text kept in a constant for the catalogs; Tr translates it where it is shown.
constexpr const char* TrMark(const char* text) {
    return text;
}

// `pattern` with each "{}" replaced by the next of `args`, in order; spare "{}" stay.
std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> args);

}  // namespace vorta
