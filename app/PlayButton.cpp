// The play button's title and its hand-over from the timer's thread.
#include "app/PlayButton.h"

#include <atomic>
#include <cstring>

#include <QApplication>
#include <QPushButton>
#include <QStyle>

#include "playback/StopCallback.h"

namespace {

// Counts the plays started; an end reported for an earlier play is stale.
std::atomic<unsigned> play_number{0};

}  // namespace

void SetPlayButtonTitle(QPushButton* button, const char* title) {
    if (button == nullptr || title == nullptr) return;
    button->setText(QString::fromUtf8(title));
    const bool stop = std::strcmp(title, kStopTitle) == 0;
    button->setIcon(
        button->style()->standardIcon(stop ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay));
}

void NotePlayStarted() {
    play_number.fetch_add(1);
}

void QueueStopButtonTitle(void* button, const char* title) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || title == nullptr) return;
    const unsigned play = play_number.load();
    const QByteArray text(title);
    // The button is only compared here; on the GUI thread it is used when it
    // is still the registered one (a closing window unregisters it first)
    // and no newer play has started since this one ended.
    QMetaObject::invokeMethod(
        app,
        [button, play, text] {
            if (button == nullptr || StopButton.load() != button || play_number.load() != play)
                return;
            SetPlayButtonTitle(static_cast<QPushButton*>(button), text.constData());
        },
        Qt::QueuedConnection);
}
