// The remembered panel folder as a text line of the settings file. The
// library's integer settings rewrite every "key=value" line as they read it,
// so this line survives their writes.
#include "app/AppSettings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "General/GeneralMac.h"
#include "app/GuiHooks.h"

namespace {

std::filesystem::path SettingsFile() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return std::filesystem::path(xdg) / "retrograde" / "settings";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : "/") / ".config" / "retrograde" /
           "settings";
}

std::string Prefix() {
    return std::string(kPanelSettingsSection) + "," + kPanelLastFolderKey + "=";
}

std::vector<std::string> ReadLines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

std::string GetLastPanelFolder() {
    try {
        const std::string prefix = Prefix();
        std::string folder;
        for (const auto& line : ReadLines(SettingsFile())) {
            if (line.starts_with(prefix)) folder = line.substr(prefix.size());  // the last one wins
        }
        return folder;
    } catch (...) {
        return {};
    }
}

int SetLastPanelFolder(const std::string& folder) {
    try {
        if (folder.find('\n') != std::string::npos) return 0;
        const std::filesystem::path file = SettingsFile();
        std::error_code error;
        std::filesystem::create_directories(file.parent_path(), error);
        const std::string prefix = Prefix();
        std::ostringstream out;
        for (const auto& line : ReadLines(file)) {
            if (!line.starts_with(prefix)) out << line << '\n';
        }
        out << prefix << folder << '\n';
        const std::string text = out.str();
        return GneSaveFile(file.c_str(), reinterpret_cast<const unsigned char*>(text.data()),
                           static_cast<long>(text.size()));
    } catch (...) {
        return 0;
    }
}
