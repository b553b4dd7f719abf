// The file and folder dialogs, answered by the panel hooks a program
// installs; without them every dialog answers "cancelled".
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "General/GeneralMac.h"

namespace {

std::mutex& PanelMutex() {
    static std::mutex mutex;
    return mutex;
}
GnePanelHooks& CurrentPanels() {
    static GnePanelHooks hooks;
    return hooks;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    return home != nullptr ? home : "/";
}

// Runs one panel; the chosen path goes into a 256-byte name buffer. A path
// that does not fit is refused rather than cut into another path.
int RunPanelImpl(GnePanelHook GnePanelHooks::*which, const std::string& start, char* name) {
    GnePanelHook hook;
    {
        std::lock_guard lock(PanelMutex());
        hook = CurrentPanels().*which;
    }
    if (!hook || name == nullptr) return 0;
    std::string chosen;
    if (!hook(start, chosen) || chosen.empty()) return 0;
    if (chosen.size() >= static_cast<std::size_t>(kGneNameSize)) {
        GneWriteErrorMsg(("ファイル名が長すぎます: " + chosen).c_str());
        return 0;
    }
    std::memcpy(name, chosen.c_str(), chosen.size() + 1);
    return 1;
}

// A panel that fails in any way answers as a cancelled one.
int RunPanel(GnePanelHook GnePanelHooks::*which, const char* start, char* name) {
    try {
        return RunPanelImpl(which, start != nullptr ? std::string(start) : HomeFolder(), name);
    } catch (...) {
        return 0;
    }
}

}  // namespace

GnePanelHooks GneSetPanelHooks(GnePanelHooks hooks) {
    std::lock_guard lock(PanelMutex());
    GnePanelHooks previous = std::move(CurrentPanels());
    CurrentPanels() = std::move(hooks);
    return previous;
}

int GneGetLoadFileName(const char*, const char*, char* name) {
    return RunPanel(&GnePanelHooks::open_file, nullptr, name);
}

int GneGetSaveFileName(char* name, const char*, const char*) {
    return RunPanel(&GnePanelHooks::save_file, nullptr, name);
}

int GneGetOpenFolderName(unsigned long, const char* folder, char* name, unsigned long, char*) {
    return RunPanel(&GnePanelHooks::open_folder,
                    (folder != nullptr && *folder != 0) ? folder : nullptr, name);
}
