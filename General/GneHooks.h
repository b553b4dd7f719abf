/// @file
/// What a program plugs into the utility module: the message sink, the alert
/// and the file panels. The defaults work without a window (stderr, cancelled).
#pragma once

#include <functional>
#include <string>
#include <string_view>

/// Receives every library message (GneWriteErrorMsg and its siblings), UTF-8.
/// The sink may be called from any thread; calls are serialised.
using GneMessageSink = std::function<void(std::string_view text)>;
/// Shows a modal alert; title is "GeneralMac" for GneErrorMsg. Alerts are not
/// serialised: the hook may be called from any thread, also while it runs.
using GneAlertHook = std::function<void(std::string_view title, std::string_view text)>;
/// A panel: start folder in, chosen path out; false when cancelled.
using GnePanelHook = std::function<bool(const std::string& start, std::string& chosen)>;

/// The file and folder panels a program provides (empty: cancelled).
struct GnePanelHooks {
    GnePanelHook open_file;    ///< any file may be chosen
    GnePanelHook save_file;    ///< no extension is added to the chosen name
    GnePanelHook open_folder;  ///< folders only
};

/// Each setter returns the hook it replaces; an empty function restores the default.
///@{
GneMessageSink GneSetMessageSink(GneMessageSink sink);
GneAlertHook GneSetAlertHook(GneAlertHook hook);
GnePanelHooks GneSetPanelHooks(GnePanelHooks hooks);
///@}

/// Renders a text taken from a MIDI file for a person: as it is when it is
/// valid UTF-8, else decoded from Shift-JIS (CP932).
std::string GneFileTextToUtf8(std::string_view bytes);

/// The language people read. The library's texts stay as the system wrote
/// them; a program translates what it shows through the gettext catalogue
/// "retrograde": English for every locale but Japanese.
///
/// Sets the locale from the environment and picks the catalogue: the one
/// installed beside the program (../share/locale), else the one in locale_dir
/// (\<language\>/LC_MESSAGES/retrograde.mo). Call once, at start.
void GneSetUpLanguage(const char* locale_dir);
/// text in the reader's language: a library message, or the name of an alert
/// code (GneErrorName) as a sentence. Texts the catalogue does not know come
/// back as they are.
std::string GneTranslate(std::string_view text);
