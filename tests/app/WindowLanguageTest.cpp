// The window shows the library's messages in the reader's language: English
// under an English locale, the alert as a sentence in its box and in the
// message area.
#include <cstdlib>
#include <string>

#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>

#include "General/GeneralMac.h"
#include "WindowFixture.h"

TEST_F(WindowTest, MessagesAndAlertsInTheReadersLanguage) {
    const char* was = std::getenv("LANG");
    const std::string lang = was ? was : "";
    setenv("LANG", "en_US.UTF-8", 1);
    GneSetUpLanguage(RETROGRADE_TEST_LOCALE_DIR);
    QCoreApplication::processEvents();
    panel->MessageArea()->clear();
    GneWriteErrorMsg("Midiファイルではありません。");
    GneErrorMsg(kGneErrOpenFile);
    const QString sentence = QStringLiteral("The file could not be opened or written.");
    ASSERT_TRUE(WaitFor([&] { return panel->MessageArea()->blockCount() >= 2; }));
    EXPECT_EQ(panel->MessageArea()->toPlainText(), "Not a MIDI file.\n" + sentence);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* found = qobject_cast<QMessageBox*>(widget);
            if (found && found->isVisible() && found->windowTitle() == "GeneralMac") box = found;
        }
        return box != nullptr;
    }));
    EXPECT_EQ(box->text(), sentence);
    box->buttons().front()->click();
    // The other tests read the library's own texts again.
    GneSetUpLanguage("/nonexistent");
    setenv("LANG", lang.c_str(), 1);
}
