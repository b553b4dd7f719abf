// The window's side of the utility module's hooks: file panels (QFileDialog),
// alerts (QMessageBox) and the message sink (the window's message area).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <QPointer>

#include "General/GneHooks.h"

class QPlainTextEdit;
class QWidget;

// Section and key of the folder the panels last showed.
inline constexpr const char* kPanelSettingsSection = "Panels";
inline constexpr const char* kPanelLastFolderKey = "LastFolder";

// The QFileDialog panels, parented to window. suggest_save_name gives the
// file name the save panel proposes (may be empty).
GnePanelHooks MakeFileDialogHooks(QWidget* window, std::function<std::string()> suggest_save_name);
// Wraps panels so each starts in the folder last chosen in any of them (when
// it still exists) and remembers the folder of every choice in the settings.
GnePanelHooks RememberLastFolder(GnePanelHooks panels);

// The window an alert belongs to. Made and read on the GUI thread only;
// other threads merely pass the shared pointer on.
using AlertParent = std::shared_ptr<const QPointer<QWidget>>;

// Shows a QMessageBox with the one button "OK" over the window, if it still
// exists. Always queued to the GUI thread: a report from the timer thread
// must not wait for a person.
void PostAlert(AlertParent window, std::string_view title, std::string_view text);
// Appends a line to the message area, newest last; queued from any thread so
// that lines keep the order in which they were reported.
void PostMessage(QPlainTextEdit* area, std::string_view text);

// Installs the message sink, the alert hook and the file panels for as long
// as it lives, and restores the previous ones afterwards.
class GuiHooks {
public:
    GuiHooks(QWidget* window, QPlainTextEdit* messages,
             std::function<std::string()> suggest_save_name);
    ~GuiHooks();
    GuiHooks(const GuiHooks&) = delete;
    GuiHooks& operator=(const GuiHooks&) = delete;

private:
    GneMessageSink previous_sink_;
    GneAlertHook previous_alert_;
    GnePanelHooks previous_panels_;
};
