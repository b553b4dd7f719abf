// A window as the program makes it, with scripted file panels, its own
// settings folder and a few small songs written for the test.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "app/AppGlobals.h"
#include "app/MainPanel.h"
#include "app/PlaybackBridge.h"
#include "support/TestSupport.h"

// A format-1 song at division 96 and 120 beats per minute: a tempo track, a
// melody on channel 0 climbing C4 E4 G4 C5 (a quarter each), a
// bass line on channel 1 and a drum on channel 9. Two seconds long.
inline Bytes MelodySong() {
    const Bytes conductor = TrackChunk({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // 120 bpm
                                        0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8,       // 4/4
                                        0x00, 0xFF, 0x2F, 0x00});
    const Bytes melody = TrackChunk({0x00, 0xFF, 0x03, 0x06, 'M',  'e',  'l', 'o',
                                     'd',  'y',  0x00, 0xC0, 0x00,                // piano
                                     0x00, 0x90, 60,   100,  0x60, 0x80, 60,  0,  // C4
                                     0x00, 0x90, 64,   90,   0x60, 0x80, 64,  0,  // E4
                                     0x00, 0x90, 67,   80,   0x60, 0x80, 67,  0,  // G4
                                     0x00, 0x90, 72,   110,  0x60, 0x80, 72,  0,  // C5
                                     0x00, 0xFF, 0x2F, 0x00});
    const Bytes bass = TrackChunk({0x00, 0xC1, 0x20,                                // bass
                                   0x00, 0x91, 36,   100, 0x81, 0x40, 0x81, 36, 0,  // C2, a half
                                   0x00, 0x91, 43,   100, 0x81, 0x40, 0x81, 43, 0,  // G2, a half
                                   0x00, 0xFF, 0x2F, 0x00});
    const Bytes drums = TrackChunk({0x00, 0x99, 36,   120, 0x30, 0x89, 36, 0,  // kick
                                    0x30, 0x99, 38,   100, 0x30, 0x89, 38, 0,  // snare
                                    0x00, 0xFF, 0x2F, 0x00});
    return Concat({HeaderChunk(1, 4, 96), conductor, melody, bass, drums});
}

// A format-0 song of two short notes: a quarter of a second in all.
inline Bytes ShortSong() {
    return Concat({HeaderChunk(0, 1, 96),
                   TrackChunk({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,     // 120 bpm
                               0x00, 0x90, 62,   100,  0x18, 0x80, 62,   0,  // D4, a sixteenth
                               0x00, 0x90, 65,   100,  0x18, 0x80, 65,   0,  // F4, a sixteenth
                               0x00, 0xFF, 0x2F, 0x00})});
}

// Shows a QString in a failure message as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << text.toStdString();
}

class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
        horizontal = 0;
        vertical = 0;
        gm = 0;
        panel = std::make_unique<MainPanel>();
        panel->init();
        panel->awakeFromNib();
        // Shown, as switches and shortcuts answer only on a visible window.
        panel->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
        GnePanelHooks scripted;
        scripted.open_file = [this](const std::string&, std::string& chosen) {
            ++open_calls;
            return Answer(open_answers, chosen);
        };
        scripted.save_file = [this](const std::string&, std::string& chosen) {
            ++save_calls;
            return Answer(save_answers, chosen);
        };
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
    static bool Answer(std::deque<std::string>& answers, std::string& chosen) {
        if (answers.empty()) return false;
        chosen = answers.front();
        answers.pop_front();
        return true;
    }

    GnePanelHooks window_panels;
};
