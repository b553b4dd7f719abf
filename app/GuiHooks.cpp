// The QFileDialog panels, the queued QMessageBox alerts and the message area
// sink that the window installs into the utility module.
#include "app/GuiHooks.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QString>
#include <QThread>

#include "app/AppSettings.h"

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToLocal(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Standard MIDI files first; every other file stays choosable, as a song may
// have any name (a MacBinary download, a file without extension).
const QString kMidiFilter = QStringLiteral("Standard MIDI files (*.mid *.midi *.smf *.kar *.MID)");
const QString kAllFilter = QStringLiteral("All files (*)");

}  // namespace

GnePanelHooks MakeFileDialogHooks(QWidget* window, std::function<std::string()> suggest_save_name) {
    QPointer<QWidget> parent(window);
    GnePanelHooks hooks;
    hooks.open_file = [parent](const std::string& start, std::string& chosen) {
        const QString path = QFileDialog::getOpenFileName(
            parent, QStringLiteral("Open a MIDI file"), QFile::decodeName(start.c_str()),
            kMidiFilter + QStringLiteral(";;") + kAllFilter);
        if (path.isEmpty()) return false;
        chosen = ToLocal(path);
        return true;
    };
    hooks.save_file = [parent, suggest = std::move(suggest_save_name)](const std::string& start,
                                                                       std::string& chosen) {
        QString proposal = QFile::decodeName(start.c_str());
        const std::string name = suggest ? suggest() : std::string();
        if (!name.empty()) proposal = QDir(proposal).filePath(QFile::decodeName(name.c_str()));
        const QString path =
            QFileDialog::getSaveFileName(parent, QStringLiteral("Save the mirrored song"), proposal,
                                         kMidiFilter + QStringLiteral(";;") + kAllFilter);
        if (path.isEmpty()) return false;
        chosen = ToLocal(path);
        return true;
    };
    hooks.open_folder = [parent](const std::string& start, std::string& chosen) {
        const QString path = QFileDialog::getExistingDirectory(
            parent, QStringLiteral("Choose a folder"), QFile::decodeName(start.c_str()));
        if (path.isEmpty()) return false;
        chosen = ToLocal(path);
        return true;
    };
    return hooks;
}

namespace {

GnePanelHook Remembering(GnePanelHook inner, bool chosenIsFolder) {
    if (!inner) return inner;
    return
        [inner = std::move(inner), chosenIsFolder](const std::string& start, std::string& chosen) {
            std::string folder = GetLastPanelFolder();
            if (folder.empty() || !QFileInfo(QFile::decodeName(folder.c_str())).isDir())
                folder = start;
            if (!inner(folder, chosen)) return false;
            const QString path = QFile::decodeName(chosen.c_str());
            SetLastPanelFolder(ToLocal(chosenIsFolder ? path : QFileInfo(path).absolutePath()));
            return true;
        };
}

}  // namespace

GnePanelHooks RememberLastFolder(GnePanelHooks panels) {
    panels.open_file = Remembering(std::move(panels.open_file), false);
    panels.save_file = Remembering(std::move(panels.save_file), false);
    panels.open_folder = Remembering(std::move(panels.open_folder), true);
    return panels;
}

void PostAlert(AlertParent window, std::string_view title, std::string_view text) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return;
    const QString caption = FromUtf8(title);
    const QString message = FromUtf8(text);
    QMetaObject::invokeMethod(
        app,
        [window = std::move(window), caption, message] {
            QWidget* parent = window ? window->data() : nullptr;
            // Not exec(): the box is modal to the application but the caller
            // has long gone on, and a nested event loop would stall the window.
            auto* box =
                new QMessageBox(QMessageBox::Warning, caption, message, QMessageBox::Ok, parent);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setWindowModality(Qt::ApplicationModal);
            box->show();
        },
        Qt::QueuedConnection);
}

void PostMessage(QPlainTextEdit* area, std::string_view text) {
    const QString line = FromUtf8(text);
    QMetaObject::invokeMethod(
        area, [area, line] { area->appendPlainText(line); }, Qt::QueuedConnection);
}

GuiHooks::GuiHooks(QWidget* window, QPlainTextEdit* messages,
                   std::function<std::string()> suggest_save_name) {
    // The sink is removed again by the destructor before the widgets go, and
    // its setter waits for a running call: the message area never dangles.
    // What the window shows is in the reader's language; the library's
    // texts stay as they are for everyone else who listens.
    previous_sink_ = GneSetMessageSink(
        [messages](std::string_view text) { PostMessage(messages, GneTranslate(text)); });
    // An alert may still be on its way from another thread after the hook
    // is gone, so it finds the window through a guarded pointer.
    auto parent = std::make_shared<const QPointer<QWidget>>(window);
    // An alert names its code; people read a sentence, in the box and, so
    // that it stays after "OK", in the message area.
    previous_alert_ =
        GneSetAlertHook([parent, messages](std::string_view title, std::string_view text) {
            const std::string sentence = GneTranslate(text);
            PostMessage(messages, sentence);
            PostAlert(parent, title, sentence);
        });
    previous_panels_ = GneSetPanelHooks(
        RememberLastFolder(MakeFileDialogHooks(window, std::move(suggest_save_name))));
}

GuiHooks::~GuiHooks() {
    GneSetPanelHooks(std::move(previous_panels_));
    GneSetAlertHook(std::move(previous_alert_));
    GneSetMessageSink(std::move(previous_sink_));
}
