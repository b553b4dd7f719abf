// The remembered panel folder as a text setting of the library's settings
// file, which GneSettings owns.
#include "app/AppSettings.h"

#include <unistd.h>

#include <filesystem>
#include <string>

#include "General/GeneralMac.h"
#include "app/GuiHooks.h"

namespace {

// A folder worth offering again: a real, readable folder outside the
// kernel's /proc, /sys and /dev, where a panel listing the folder may block
// (reading /proc/kmsg waits for kernel messages). Symbolic links are
// followed first, so that a link into those trees is refused as well.
bool IsRememberableFolder(const std::string& folder) {
    if (folder.empty() || folder.front() != '/') return false;
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(folder, error);
    if (error || !std::filesystem::is_directory(real, error) || error) return false;
    const auto top = std::next(real.begin());
    if (top != real.end() && (*top == "proc" || *top == "sys" || *top == "dev")) return false;
    return access(real.c_str(), R_OK | X_OK) == 0;
}

}  // namespace

std::string GetLastPanelFolder() {
    // A folder stored before it went away, or by an older version that kept
    // any folder, is not offered.
    std::string folder = GneGetProfileString(kPanelSettingsSection, kPanelLastFolderKey);
    return IsRememberableFolder(folder) ? folder : std::string();
}

int SetLastPanelFolder(const std::string& folder) {
    if (!IsRememberableFolder(folder)) return 0;
    return GneWriteProfileString(kPanelSettingsSection, kPanelLastFolderKey, folder);
}
