// The window's one text setting, the folder the panels last showed, kept as a
// "Panels,LastFolder=path" line in the same file as the library's integer
// settings ($XDG_CONFIG_HOME/retrograde/settings).
#pragma once

#include <string>

// The remembered folder, or "" when none is stored or it is no longer a
// folder that may be offered (see SetLastPanelFolder).
std::string GetLastPanelFolder();
// 1 when stored; 0 when the path is not a real, readable folder outside
// /proc, /sys and /dev, cannot be kept on one line, or the file cannot be
// written.
int SetLastPanelFolder(const std::string& folder);
