// A window as the program makes it, with scripted file panels, its own
// settings folder and a few small songs written for the test.
#pragma once

#include <deque>
#include <functional>
#include <ostream>

#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "app/AppGlobals.h"
#include "app/MainPanel.h"
#include "app/PlaybackBridge.h"
#include "midi/song/DemoSong.h"
#include "support/TestEvents.h"

// A format-0 song of two short notes: a quarter of a second in all.
inline Bytes ShortSong() {
    return Concat({HeaderChunk(0, 1, 96),
                   TrackChunk(Concat({smf::Tempo(0, 500000), smf::On(0, 0, 62), smf::Off(24, 0, 62),
                                      smf::On(0, 0, 65), smf::Off(24, 0, 65), smf::Eot(0)}))});
}

// The visible alert box of that title, if any.
inline QMessageBox* FindAlert(const QString& title) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible() && box->windowTitle() == title) return box;
    }
    return nullptr;
}

// Shows a QString in a failure message as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << text.toStdString();
}

class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
        horizontal = vertical = gm = carry_state = 0;
        panel = std::make_unique<MainPanel>();
        panel->init();
        panel->awakeFromNib();
        // Shown, as switches and shortcuts answer only on a visible window.
        panel->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
        QCoreApplication::processEvents();  // what the start reported (no MIDI system, say)
        panel->MessageArea()->clear();
        GnePanelHooks scripted;
        scripted.open_file = Scripted(open_answers, open_calls);
        scripted.save_file = Scripted(save_answers, save_calls);
        window_panels = GneSetPanelHooks(std::move(scripted));
    }

    void TearDown() override {
        GneSetPanelHooks(std::move(window_panels));
        panel.reset();
        WaitUntilPlayerIdle();
    }

    // Writes bytes as a file of the test folder and loads it through the
    // open panel, as a person would.
    std::string Load(const std::string& name, const Bytes& bytes) {
        const std::string path = dir.File(name);
        WriteBytes(path, bytes);
        open_answers.push_back(path);
        panel->LoadFile();
        return path;
    }

    // Saves through the save panel into a new file of the test folder.
    Bytes Save(const std::string& name) {
        const std::string path = dir.File(name);
        save_answers.push_back(path);
        panel->SaveFile();
        return ReadBytes(path);
    }

    QString Title() const { return panel->PlayBtn->text(); }

    // Runs the event loop until the message area holds text (UTF-8).
    testing::AssertionResult Told(const std::string& text) const {
        const auto told = [&] { return panel->MessageArea()->toPlainText().toStdString(); };
        if (WaitFor([&] { return told().find(text) != std::string::npos; }))
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "no \"" << text << "\" in:\n" << told();
    }

    // Runs the event loop until done() holds; false after timeout_ms.
    static bool WaitFor(const std::function<bool()>& done, int timeout_ms = 5000) {
        return QTest::qWaitFor(done, timeout_ms);
    }

    TempDir dir;
    std::unique_ptr<MainPanel> panel;
    std::deque<std::string> open_answers;  // the next paths chosen; none left: cancel
    std::deque<std::string> save_answers;
    int open_calls = 0;
    int save_calls = 0;

private:
    // A panel that counts its calls and answers the next path, if any.
    static decltype(GnePanelHooks::open_file) Scripted(std::deque<std::string>& answers,
                                                       int& calls) {
        return [&answers, &calls](const std::string&, std::string& chosen) {
            ++calls;
            if (answers.empty()) return false;
            chosen = answers.front();
            answers.pop_front();
            return true;
        };
    }

    GnePanelHooks window_panels;
};
