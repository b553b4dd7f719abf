// The window's controller: builds the window, turns the switches into mirror
// transforms on a fresh copy of the loaded song for every play and save, and
// hands the copy to the player or to the file writer.
#include "app/MainPanel.h"

#include <algorithm>
#include <utility>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "General/GeneralMac.h"
#include "General/GneHooks.h"
#include "app/AppGlobals.h"
#include "app/GuiHooks.h"
#include "app/PianoRollView.h"
#include "app/PlayButton.h"
#include "app/PlaybackBridge.h"
#include "midi/song/SongPipeline.h"
#include "playback/StopCallback.h"

namespace {

constexpr int kMessageLines = 1000;  // the message area keeps this many lines
constexpr int kCursorInterval = 40;  // milliseconds between two cursor moves: 25 a second

void Flip(int& flag) {
    flag = flag == 0 ? 1 : 0;
}

// The transforms the switches ask for.
MirrorChoice SwitchedChoice() {
    return {horizontal == 1, vertical == 1, carry_state == 1};
}

// The same as one number, to tell whether they changed.
int SwitchedMirror() {
    return horizontal * 4 + vertical * 2 + carry_state;
}

// A copy of the loaded song with the switched-on transforms applied, in Q1.
// When the reversed song kept the song's setup at its start, the message
// area says so: those events do not move to the end with the rest.
std::unique_ptr<MidiF0Data> MirroredCopy(MidiF0Data* song) {
    int setup = 0;
    auto copy = MirroredCopy(song, SwitchedChoice(), &setup);
    if (setup > 0) {
        GneWriteInformationMsg(("Reversed: the song's setup (" + std::to_string(setup) +
                                (setup == 1 ? " event" : " events") +
                                " at its start) stays at the start.")
                                   .c_str());
    }
    return copy;
}

// Runs an action; a failure inside (out of memory) is reported rather than
// let out into the event loop.
template <typename Action>
void Guarded(Action action) {
    try {
        action();
    } catch (const std::exception&) {
        GneWriteErrorMsg("MainPanelでエラーが発生しました。");
    }
}

// A text of the window through the catalogues, %1 replaced by argument.
QString Tell(const char* text, const QString& argument) {
    return QString::fromStdString(GneTranslate(text)).arg(argument);
}

void WriteInformation(const QString& text) {
    GneWriteInformationMsg(text.toStdString().c_str());
}

// The window's icon: the theme's once installed, else drawn here (a note,
// its mirror image and the axis between them), which needs no image plugin.
QIcon WindowIcon() {
    const QIcon themed = QIcon::fromTheme(QStringLiteral("retrograde-gui"));
    if (!themed.isNull()) return themed;
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2e, 0x5c, 0x8a));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    p.fillRect(QRectF(31, 8, 2, 48), QColor(255, 255, 255, 140));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(8, 38, 15, 11));
    p.fillRect(QRectF(20, 12, 3, 31), Qt::white);
    p.drawEllipse(QRectF(41, 15, 15, 11));
    p.fillRect(QRectF(41, 21, 3, 31), Qt::white);
    return QIcon(pixmap);
}

}  // namespace

MainPanel::MainPanel(QWidget* parent) : QWidget(parent) {
    BuildLayout();
    hooks_ = std::make_unique<GuiHooks>(this, messages_, [this] { return SuggestedSaveName(); });
    previous_title_hook_ = SetStopButtonTitleHook(QueueStopButtonTitle);
    setAcceptDrops(true);
    ShowSong();
    ShowMusic(true);
    UpdateButtons();
}

MainPanel::~MainPanel() {
    windowWillClose();
    // The hooks go before the widgets they point at.
    SetStopButtonTitleHook(previous_title_hook_);
    hooks_.reset();
}

void MainPanel::BuildLayout() {
    setWindowTitle(QStringLiteral("Retrograde"));
    setWindowIcon(WindowIcon());

    // The song: what is loaded, how long it plays, and the way to load another.
    auto* song_box = new QGroupBox(QStringLiteral("Song"));
    song_name_ = new QLabel;
    song_name_->setTextFormat(Qt::PlainText);
    song_name_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont name_font = song_name_->font();
    name_font.setBold(true);
    name_font.setPointSizeF(name_font.pointSizeF() * 1.15);
    song_name_->setFont(name_font);
    song_details_ = new QLabel;
    song_details_->setTextFormat(Qt::PlainText);
    song_details_->setForegroundRole(QPalette::PlaceholderText);
    load_button_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogOpenButton),
                                   QStringLiteral("Open…"));
    load_button_->setShortcut(QKeySequence::Open);
    load_button_->setToolTip(
        QStringLiteral("Open a Standard MIDI file (Ctrl+O). You can also "
                       "drop a file on the window."));
    auto* song_text = new QVBoxLayout;
    song_text->setSpacing(2);
    song_text->addWidget(song_name_);
    song_text->addWidget(song_details_);
    auto* song_row = new QHBoxLayout(song_box);
    song_row->addLayout(song_text, 1);
    song_row->addWidget(load_button_, 0, Qt::AlignVCenter);

    // The mirror: one switch per transform, and the GM switch.
    auto* mirror_box = new QGroupBox(QStringLiteral("Mirror"));
    horizontal_switch_ = new QCheckBox(QStringLiteral("Reverse in time"));
    horizontal_switch_->setToolTip(
        QStringLiteral("Play the song backwards: the last note comes first, each note keeps "
                       "its length."));
    vertical_switch_ = new QCheckBox(QStringLiteral("Invert pitch"));
    vertical_switch_->setToolTip(
        QStringLiteral("Turn the song upside down: high notes become low ones on every "
                       "melodic channel; drums stay as they are."));
    gm_switch_ = new QCheckBox(QStringLiteral("GM"));
    gm_switch_->setToolTip(
        QStringLiteral("General MIDI. Kept for compatibility: it changes neither playing nor "
                       "saving."));
    carry_state_switch_ = new QCheckBox(QStringLiteral("Keep each passage's sound"));
    carry_state_switch_->setToolTip(
        QStringLiteral("Reversed in time, each passage keeps the controllers, pitch bend, "
                       "program, tempo, meter and key it had: a fade-out becomes a fade-in, "
                       "the hold pedal stays down where it held."));
    carry_state_switch_->setEnabled(false);
    auto* mirror_row = new QHBoxLayout(mirror_box);
    mirror_row->addWidget(horizontal_switch_);
    mirror_row->addSpacing(12);
    mirror_row->addWidget(carry_state_switch_);
    mirror_row->addSpacing(12);
    mirror_row->addWidget(vertical_switch_);
    mirror_row->addStretch(1);
    mirror_row->addWidget(gm_switch_);

    // The output and the transport.
    endpointlist = new QComboBox;
    endpointlist->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    endpointlist->setMinimumContentsLength(18);
    endpointlist->setToolTip(
        QStringLiteral("Where the song is played. MIDI_MAPPER is the "
                       "built-in synthesizer; a new choice applies from "
                       "the next play on."));
    reload_button_ = new QToolButton;
    reload_button_->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    reload_button_->setToolTip(QStringLiteral("Look for MIDI outputs again"));
    auto* output_label = new QLabel(QStringLiteral("&Output:"));
    output_label->setBuddy(endpointlist);

    PlayBtn = new QPushButton;
    SetPlayButtonTitle(PlayBtn, kPlayTitle);
    PlayBtn->setToolTip(QStringLiteral("Play or stop the mirrored song (Space)"));
    PlayBtn->setMinimumWidth(110);
    PlayBtn->setDefault(true);
    save_button_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton),
                                   QStringLiteral("Save as…"));
    save_button_->setShortcut(QKeySequence::Save);
    save_button_->setToolTip(
        QStringLiteral("Save the mirrored song as a Standard MIDI file (Ctrl+S)"));

    auto* transport = new QHBoxLayout;
    transport->addWidget(output_label);
    transport->addWidget(endpointlist, 1);
    transport->addWidget(reload_button_);
    transport->addSpacing(16);
    play_time_ = new QLabel;
    play_time_->setToolTip(QStringLiteral("Time played and the length of the song"));
    play_time_->setMinimumWidth(
        play_time_->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00 / 00:00:00")));
    play_time_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    transport->addWidget(play_time_);
    transport->addWidget(PlayBtn);
    transport->addWidget(save_button_);

    // The library's messages, newest last.
    auto* messages_label = new QLabel(QStringLiteral("Messages"));
    messages_ = new QPlainTextEdit;
    messages_->setReadOnly(true);
    messages_->setMaximumBlockCount(kMessageLines);
    messages_->setPlaceholderText(
        QStringLiteral("Messages about loading, playing and saving "
                       "appear here."));
    messages_->setMinimumHeight(72);
    messages_->setMaximumHeight(90);
    messages_->setFocusPolicy(Qt::ClickFocus);

    // The music as it would play, and where the playing has got to.
    piano_roll_ = new PianoRollView;
    cursor_timer_ = new QTimer(this);
    cursor_timer_->setInterval(kCursorInterval);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(song_box);
    layout->addWidget(mirror_box);
    layout->addLayout(transport);
    layout->addWidget(piano_roll_, 1);
    layout->addSpacing(4);
    layout->addWidget(messages_label);
    layout->addWidget(messages_);

    connect(endpointlist, &QComboBox::activated, this, &MainPanel::SelectDevice);
    connect(reload_button_, &QToolButton::clicked, this, &MainPanel::reloadEndpoint);
    connect(horizontal_switch_, &QCheckBox::clicked, this, &MainPanel::HorizontalSw);
    connect(vertical_switch_, &QCheckBox::clicked, this, &MainPanel::VerticalSw);
    connect(gm_switch_, &QCheckBox::clicked, this, &MainPanel::GMSw);
    connect(carry_state_switch_, &QCheckBox::clicked, this, &MainPanel::CarryStateSw);
    connect(load_button_, &QPushButton::clicked, this, &MainPanel::LoadFile);
    connect(PlayBtn, &QPushButton::clicked, this, &MainPanel::PlayFile);
    connect(save_button_, &QPushButton::clicked, this, &MainPanel::SaveFile);
    connect(piano_roll_, &PianoRollView::PlayFromTick, this, &MainPanel::PlayFromTick);
    connect(cursor_timer_, &QTimer::timeout, this, &MainPanel::FollowPlayback);
    // Space plays and stops wherever the focus is, as in a media player.
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    connect(space, &QShortcut::activated, this, &MainPanel::PlayFile);

    resize(sizeHint().expandedTo(QSize(960, 720)));
}

MainPanel* MainPanel::init() {
    SetPlayButtonTitle(PlayBtn, kPlayTitle);
    return this;
}

void MainPanel::awakeFromNib() {
    reloadEndpoint();
    SetOutput(kSynthesizerOutput);
    endpointlist->setCurrentIndex(0);
}

void MainPanel::reloadEndpoint() {
    endpointlist->clear();
    endpointlist->addItem(QStringLiteral("MIDI_MAPPER"));
    endpointlist->setItemData(0, QStringLiteral("The built-in synthesizer"), Qt::ToolTipRole);
    // The count is asked again at every step: ports may come and go meanwhile.
    for (int i = 0; i < OutputCount(); ++i)
        endpointlist->addItem(QString::fromUtf8(OutputName(i).c_str()));

    // The list shows the output in effect. One that has gone away cannot stay
    // in effect: the built-in synthesizer takes over, and the user is told.
    const int item = CurrentOutput() + 1;
    if (item >= endpointlist->count()) {
        GneWriteInformationMsg(
            "The chosen MIDI output is gone; the built-in synthesizer "
            "plays from now on.");
        SetOutput(kSynthesizerOutput);
        endpointlist->setCurrentIndex(0);
        return;
    }
    endpointlist->setCurrentIndex(item);
}

void MainPanel::SelectDevice() {
    SetOutput(endpointlist->currentIndex() - 1);
}

void MainPanel::HorizontalSw() {
    reloadEndpoint();
    const long long point = ResumePoint(true);
    Flip(horizontal);
    horizontal_switch_->setChecked(horizontal == 1);
    // Keeping each passage's sound is a way of reversing.
    carry_state_switch_->setEnabled(horizontal == 1);
    ShowSong();
    ShowMusic(false);
    Resume(point);
}

void MainPanel::VerticalSw() {
    reloadEndpoint();
    const long long point = ResumePoint(false);
    Flip(vertical);
    vertical_switch_->setChecked(vertical == 1);
    ShowSong();
    ShowMusic(false);
    Resume(point);
}

void MainPanel::CarryStateSw() {
    reloadEndpoint();
    // Only the sound of each passage changes, not where the passages lie.
    const long long point = ResumePoint(false);
    Flip(carry_state);
    carry_state_switch_->setChecked(carry_state == 1);
    ShowSong();
    ShowMusic(false);
    Resume(point);
}

long long MainPanel::ResumePoint(bool timeSwitch) {
    if (MidiPlayData == nullptr || played_loader_ != midi_file_loader.get() ||
        played_switches_ != SwitchedMirror() || PlayBtn->text() != QLatin1String(kStopTitle) ||
        !IsSequencerRunning()) {
        return -1;
    }
    const long long tick = PlayPositionTick();
    if (tick < 0) return -1;
    if (!timeSwitch) return tick;
    const long long total = MidiPlayData->GetSongDuration();
    return std::clamp(total - tick, 0LL, total);
}

void MainPanel::Resume(long long point) {
    // PlayFromTick rebuilds the copy with the switches as they are now and
    // sends the channel state of that point before the notes go on.
    if (point >= 0) PlayFromTick(static_cast<int>(std::min<long long>(point, 0x7FFFFFFF)));
}

void MainPanel::GMSw() {
    reloadEndpoint();
    Flip(gm);
    gm_switch_->setChecked(gm == 1);
}

void MainPanel::LoadFile() {
    Guarded([&] {
        // The song loaded before stays when the panel is cancelled or the new
        // file cannot be read: a person who changes their mind keeps their song.
        auto loader = std::make_unique<MidiFileLoader>();
        AfterLoad(std::move(loader));
    });
}

void MainPanel::LoadPath(const QString& path) {
    Guarded([&] {
        const QByteArray name = QFile::encodeName(path);
        if (name.size() >= kLoaderNameSize) {
            GneWriteErrorMsg(("ファイル名が長すぎます: " + name.toStdString()).c_str());
            return;
        }
        // By name, so that a '*' in it is read as part of the name.
        AfterLoad(LoadSongByName(name.constData()));
    });
}

void MainPanel::AfterLoad(std::unique_ptr<MidiFileLoader> loader) {
    if (loader->GetMidiF1Data() == nullptr) return;
    loader->SetMidiF0Data();
    if (loader->GetMidiF0Data() == nullptr) return;
    // The playing copy is independent of the loader: a running song plays on.
    midi_file_loader = std::move(loader);
    loaded_path_ = QFile::decodeName(midi_file_loader->name);
    // What could not be read is said, never passed over: the song is what
    // could be read of the file.
    if (midi_file_loader->damage.IsDamaged()) {
        WriteInformation(Tell("%1: damaged, only what could be read was loaded: %2",
                              QFileInfo(loaded_path_).fileName())
                             .arg(QString::fromStdString(midi_file_loader->damage.Summary())));
    }
    ShowTitle();
    ShowSong();
    ShowMusic(true);
    UpdateButtons();
}

void MainPanel::ShowTitle() {
    setWindowTitle(loaded_path_.isEmpty()
                       ? QStringLiteral("Retrograde")
                       : QFileInfo(loaded_path_).fileName() + QStringLiteral(" — Retrograde"));
}

void MainPanel::PlayFile() {
    Guarded([&] {
        SetStopCallback(CallbackStop, PlayBtn);
        // A running song can always be stopped, also after a later load failed.
        if (IsPlaying() && MidiPlayData) {
            MidiPlayData->Stop();
            SetPlayButtonTitle(PlayBtn, kPlayTitle);
            UpdateButtons();
            return;
        }
        MidiF0Data* song = LoadedSong();
        if (song == nullptr) return;

        // A song that has just ended may still be tearing down on the play
        // thread; its copy goes only when that thread is done with it.
        WaitUntilPlayerIdle();
        MidiPlayData.reset();
        MidiPlayData = MirroredCopy(song);
        MidiPlayData->Q1toQ2();
        NotePlayStarted();
        // 0 when the play thread started; otherwise nothing plays and the title stays.
        if (MidiPlayData->Play() != 0) return;
        PlayStarted();
    });
}

void MainPanel::PlayFromTick(int tick) {
    Guarded([&] {
        SetStopCallback(CallbackStop, PlayBtn);
        MidiF0Data* song = LoadedSong();
        if (song == nullptr) return;
        if (IsPlaying() && MidiPlayData) MidiPlayData->Stop();
        WaitUntilPlayerIdle();
        MidiPlayData.reset();
        MidiPlayData = MirroredCopy(song);
        MidiPlayData->Q1toQ2();
        NotePlayStarted();
        if (PlayFrom(MidiPlayData.get(), tick) != 0) {
            SetPlayButtonTitle(PlayBtn, kPlayTitle);
            UpdateButtons();
            return;
        }
        PlayStarted();
    });
}

void MainPanel::PlayStarted() {
    SetPlayButtonTitle(PlayBtn, kStopTitle);
    UpdateButtons();
    played_loader_ = midi_file_loader.get();
    played_switches_ = SwitchedMirror();
    // The clock of the play: the copy's tempo map, read once here.
    play_tempos_.clear();
    play_division_ = MidiPlayData->division;
    play_total_seconds_ = SongSeconds(*MidiPlayData);
    if (const MidiTrackData* track = MidiPlayData->GetTrack()) {
        std::int64_t tick = 0;
        for (int i = 0; i < track->GetEventCount(); ++i) {
            const MidiEvent* event = track->GetEvent(i);
            tick += std::max(event->delta, 0);
            if (event->IsMeta(kMetaTempo) && event->value > 0) {
                play_tempos_.emplace_back(tick, static_cast<int>(event->value));
            }
        }
    }
    cursor_timer_->start();
}

double MainPanel::PlayedSecondsAt(long long tick) const {
    if (play_division_ <= 0) return 0.0;
    double microseconds = 0.0;
    std::int64_t at = 0;
    int tempo = kDefaultTempo;
    for (const auto& [change, value] : play_tempos_) {
        if (change >= tick) break;
        microseconds += static_cast<double>(change - at) * tempo;
        at = change;
        tempo = value;
    }
    microseconds += static_cast<double>(tick - at) * tempo;
    return microseconds / play_division_ / 1e6;
}

void MainPanel::FollowPlayback() {
    const long long tick = PlayPositionTick();
    // A song loaded or mirrored otherwise since has other ticks.
    const bool shown =
        played_loader_ == midi_file_loader.get() && played_switches_ == SwitchedMirror();
    piano_roll_->Canvas()->SetCursor(shown ? tick : -1);
    if (tick >= 0 && shown) {
        const double elapsed = std::min(PlayedSecondsAt(tick), play_total_seconds_);
        play_time_->setText(QString::fromStdString(SongTimeText(elapsed) + " / " +
                                                   SongTimeText(play_total_seconds_)));
    } else if (PlayBtn->text() == QLatin1String(kPlayTitle)) {
        play_time_->clear();
    }
    // A play still starting has no sequencer yet; the title says when it ended.
    if (tick < 0 && PlayBtn->text() == QLatin1String(kPlayTitle)) cursor_timer_->stop();
}

void MainPanel::SaveFile() {
    Guarded([&] {
        MidiF0Data* song = LoadedSong();
        if (song == nullptr) return;
        auto copy = MirroredCopy(song);
        // A refused encoding has said why; its buffer holds no file to write.
        if (copy->Q1toRaw() != 1) return;
        // The panel as the song's own save would show it; the name is kept
        // to say where the song went.
        char name[kGneNameSize] = {};
        if (!GneGetSaveFileName(name, "mid", "midi files|*.mid|")) return;
        if (copy->SaveFile(name) == 1)
            WriteInformation(Tell("Saved to %1", QFile::decodeName(name)));
    });
}

void MainPanel::windowWillClose() {
    // Stop first: the sequencer must not outlive the play copy it reads.
    if (IsPlaying() && MidiPlayData) MidiPlayData->Stop();
    WaitUntilPlayerIdle();
    SetStopCallback(nullptr, nullptr);
    midi_file_loader.reset();
    MidiPlayData.reset();
    loaded_path_.clear();
    cursor_timer_->stop();
    piano_roll_->Clear();
    play_time_->clear();
    ShowTitle();
}

void MainPanel::closeEvent(QCloseEvent* event) {
    windowWillClose();
    event->accept();
}

namespace {

// The files of a drop, in the order given.
QStringList DroppedFiles(const QMimeData* mime) {
    QStringList files;
    if (mime == nullptr || !mime->hasUrls()) return files;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) {
            files.append(url.toLocalFile());
        }
    }
    return files;
}

}  // namespace

void MainPanel::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainPanel::dropEvent(QDropEvent* event) {
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    // The window holds one song: the first file is taken, and the person told.
    if (files.size() > 1) {
        WriteInformation(Tell("%1 files were dropped; only the first is opened: %2",
                              QString::number(files.size()))
                             .arg(QFileInfo(files.front()).fileName()));
    }
    LoadPath(files.front());
}

void MainPanel::ShowSong() {
    MidiF0Data* song = LoadedSong();
    if (song == nullptr) {
        song_name_->setText(QStringLiteral("No song loaded"));
        song_name_->setToolTip({});
        song_details_->setText(QStringLiteral("Open a MIDI file, or drop one on this window."));
        return;
    }
    const QFileInfo info(loaded_path_);
    song_name_->setText(info.fileName());
    song_name_->setToolTip(info.absoluteFilePath());
    // The length of what would play, with the switches as they are.
    QString details =
        QStringLiteral("Length %1")
            .arg(QString::fromStdString(SongTimeText(PlayedSeconds(song, SwitchedChoice()))));
    if (midi_file_loader->file_format >= 0)
        details += QStringLiteral("  ·  format %1").arg(midi_file_loader->file_format);
    if (song->division > 0)
        details += QStringLiteral("  ·  %1 ticks per quarter note").arg(song->division);
    if (midi_file_loader->damage.IsDamaged())
        details +=
            QStringLiteral("  ·  ") +
            QString::fromStdString(GneTranslate("damaged: what could be read (see Messages)"));
    song_details_->setText(details);
}

void MainPanel::ShowMusic(bool newSong) {
    MidiF0Data* song = LoadedSong();
    if (song == nullptr) {
        piano_roll_->Clear();
        return;
    }
    // The copy that Play and Save would make, without their message.
    auto shown = ::MirroredCopy(song, SwitchedChoice());
    shown->Q1toQ2();
    if (newSong) {
        piano_roll_->SetSong(song, shown.get());
    } else {
        piano_roll_->SetShown(shown.get());
    }
}

void MainPanel::UpdateButtons() {
    const bool loaded = LoadedSong() != nullptr;
    PlayBtn->setEnabled(loaded || PlayBtn->text() == QLatin1String(kStopTitle));
    save_button_->setEnabled(loaded);
}

std::string MainPanel::SuggestedSaveName() const {
    if (loaded_path_.isEmpty()) return {};
    QString name = QFileInfo(loaded_path_).completeBaseName();
    if (horizontal == 1) name += QStringLiteral("-reversed");
    if (vertical == 1) name += QStringLiteral("-inverted");
    if (horizontal == 0 && vertical == 0) name += QStringLiteral("-copy");
    return QFile::encodeName(name + QStringLiteral(".mid")).toStdString();
}
