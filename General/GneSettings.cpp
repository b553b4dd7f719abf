// Settings kept as "section,key=value" lines in
// $XDG_CONFIG_HOME/retrograde/settings (~/.config/retrograde/settings): the
// one owner of that file, integers and texts alike, every access under one lock.
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

namespace {

// Replaces the entries that match with name=value and writes the file.
template <class Matches>
int WriteEntry(const std::string& name, const std::string& value, Matches matches) {
    const std::filesystem::path folder = SettingsFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::filesystem::path file = folder / "settings";
    auto entries = ReadEntries(file);
    std::erase_if(entries, matches);
    entries.emplace_back(name, value);
    std::ostringstream out;
    for (const auto& [k, v] : entries) out << k << '=' << v << '\n';
    const std::string text = out.str();
    return GneSaveFile(file.c_str(), reinterpret_cast<const unsigned char*>(text.data()),
                       static_cast<long>(text.size()));
}

// A text value may hold '=' itself: its entry is the line that starts with
// "section,key=", whatever the last '=' of the line split off.
bool IsTextEntry(const Entry& e, const std::string& name) {
    return (e.first + '=' + e.second).starts_with(name + '=');
}

}  // namespace

int GneWriteProfileInt(const char* section, const char* key, int value) {
    try {
        std::lock_guard lock(SettingsMutex());
        const std::string name = MakeKey(section, key);
        if (!IsStorableKey(name)) return 0;
        return WriteEntry(name, std::to_string(value),
                          [&](const Entry& e) { return e.first == name; });
    } catch (...) {
        return 0;
    }
}

std::string GneGetProfileString(const char* section, const char* key) {
    try {
        std::lock_guard lock(SettingsMutex());
        const std::string name = MakeKey(section, key);
        const auto entries = ReadEntries(SettingsFolder() / "settings");
        const auto found = std::find_if(entries.rbegin(), entries.rend(),
                                        [&](const Entry& e) { return IsTextEntry(e, name); });
        if (found == entries.rend()) return {};
        return (found->first + '=' + found->second).substr(name.size() + 1);
    } catch (...) {
        return {};
    }
}

int GneWriteProfileString(const char* section, const char* key, const std::string& value) {
    try {
        std::lock_guard lock(SettingsMutex());
        const std::string name = MakeKey(section, key);
        // Key and value must stay on their one line to be found again.
        if (!IsStorableKey(name) || value.find('\n') != std::string::npos) return 0;
        return WriteEntry(name, value, [&](const Entry& e) { return IsTextEntry(e, name); });
    } catch (...) {
        return 0;
    }
}
