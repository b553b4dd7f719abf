// Library messages in the reader's language, through gettext. The catalogue
// is keyed by the system's own (Japanese) texts; English is shown under every
// locale but a Japanese one.
#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "General/GneHooks.h"

namespace {

constexpr char kDomain[] = "retrograde";
constexpr std::string_view kClassError = "でエラーが発生しました。";

// The locale the reader asked for, as POSIX decides it for messages.
std::string_view RequestedLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return "C";
}

std::string Lookup(const std::string& key) {
    return dgettext(kDomain, key.c_str());
}

}  // namespace

void GneSetUpLanguage(const char* locale_dir) {
    // An installed program finds its catalogues beside it, in share/locale.
    std::error_code error;
    const std::filesystem::path installed =
        std::filesystem::read_symlink("/proc/self/exe", error).parent_path().parent_path() /
        "share" / "locale";
    const std::string chosen =
        !error && std::filesystem::exists(installed / "en" / "LC_MESSAGES" / "retrograde.mo", error)
            ? installed.string()
            : std::string(locale_dir ? locale_dir : "");
    const bool japanese = RequestedLocale().starts_with("ja");
    // A locale that is not installed, and the plain C locale, would turn
    // gettext off; C.UTF-8 keeps it on and keeps texts in UTF-8.
    const char* set = std::setlocale(LC_ALL, "");
    if (set == nullptr || std::strcmp(set, "C") == 0 || std::strcmp(set, "POSIX") == 0) {
        std::setlocale(LC_ALL, "C.UTF-8");
    }
    // Only the two catalogues exist: Japanese readers get the original texts,
    // everybody else English, whatever LANGUAGE lists.
    setenv("LANGUAGE", japanese ? "ja" : "en", 1);
    bindtextdomain(kDomain, chosen.c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");
}

std::string GneTranslate(std::string_view text) {
    try {
        const std::string key(text);
        std::string shown = Lookup(key);
        if (shown != key) return shown;
        // "<class>でエラーが発生しました。" is made from the class's name.
        if (text.ends_with(kClassError)) {
            const std::string form = Lookup("%s" + std::string(kClassError));
            const std::size_t at = form.find("%s");
            if (at != std::string::npos) {
                return form.substr(0, at) +
                       std::string(text.substr(0, text.size() - kClassError.size())) +
                       form.substr(at + 2);
            }
        }
        // "<message>: <file name>", the message perhaps with a number in it.
        const std::size_t colon = text.find(": ");
        if (colon != std::string::npos) {
            std::string head(text.substr(0, colon));
            const std::string tail(text.substr(colon));
            shown = Lookup(head);
            if (shown != head) return shown + tail;
            const std::size_t digits = head.find_first_of("0123456789");
            if (digits != std::string::npos) {
                const std::size_t end = head.find_first_not_of("0123456789", digits);
                const std::string number = head.substr(digits, end - digits);
                const std::string form = Lookup(head.replace(digits, number.size(), "%ld"));
                const std::size_t at = form.find("%ld");
                if (at != std::string::npos && form != head) {
                    return form.substr(0, at) + number + form.substr(at + 3) + tail;
                }
            }
        }
        return key;
    } catch (...) {
        return std::string(text);
    }
}
