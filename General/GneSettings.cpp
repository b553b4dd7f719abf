// Integer settings kept as "section,key=value" lines in
// $XDG_CONFIG_HOME/retrograde/settings (~/.config/retrograde/settings).
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "General/GeneralMac.h"

namespace {

using Entry = std::pair<std::string, std::string>;  // "section,key" and its value text

std::mutex& SettingsMutex() {
    static std::mutex mutex;
    return mutex;
}

std::filesystem::path SettingsFolder() {
    // A relative XDG_CONFIG_HOME is to be ignored, as the XDG rules say.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::filesystem::path(xdg) / "retrograde";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : "/") / ".config" / "retrograde";
}

std::string MakeKey(const char* section, const char* key) {
    return std::string(section ? section : "") + "," + (key ? key : "");
}

// A key must stay on its own line to be found again.
bool IsStorableKey(const std::string& key) {
    return key.find('\n') == std::string::npos;
}

std::vector<Entry> ReadEntries(const std::filesystem::path& file) {
    std::vector<Entry> entries;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        // The value is a number, so the last '=' separates it even from a key holding '='.
        const std::size_t at = line.rfind('=');
        if (at == std::string::npos || line.starts_with('#')) continue;
        entries.emplace_back(line.substr(0, at), line.substr(at + 1));
    }
    return entries;
}

bool ParseInt(const std::string& text, int& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != 0 || number < INT_MIN || number > INT_MAX) return false;
    value = static_cast<int>(number);
    return true;
}

}  // namespace

int GneGetProfileInt(const char* section, const char* key, int def) {
    try {
        std::lock_guard lock(SettingsMutex());
        const std::string name = MakeKey(section, key);
        const auto entries = ReadEntries(SettingsFolder() / "settings");
        // The last line of a key wins, as a hand edit appended at the end would expect.
        const auto found = std::find_if(entries.rbegin(), entries.rend(),
                                        [&](const Entry& e) { return e.first == name; });
        int value = 0;
        // A stored 0 reads like a missing entry: both give the default.
        if (found == entries.rend() || !ParseInt(found->second, value) || value == 0) return def;
        return value;
    } catch (...) {
        return def;
    }
}

int GneWriteProfileInt(const char* section, const char* key, int value) {
    try {
        std::lock_guard lock(SettingsMutex());
        const std::string name = MakeKey(section, key);
        if (!IsStorableKey(name)) return 0;
        const std::filesystem::path folder = SettingsFolder();
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        const std::filesystem::path file = folder / "settings";
        auto entries = ReadEntries(file);
        std::erase_if(entries, [&](const Entry& e) { return e.first == name; });
        entries.emplace_back(name, std::to_string(value));
        std::ostringstream out;
        for (const auto& [k, v] : entries) out << k << '=' << v << '\n';
        const std::string text = out.str();
        return GneSaveFile(file.c_str(), reinterpret_cast<const unsigned char*>(text.data()),
                           static_cast<long>(text.size()));
    } catch (...) {
        return 0;
    }
}
