// The window's controller: the device list, the load, play/stop and save
// buttons, the switches, the song line and the message area.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QString>
#include <QWidget>

class GuiHooks;
class MidiFileLoader;
class PianoRollView;
class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;

class MainPanel : public QWidget {
    Q_OBJECT

public:
    // Outlets.
    QComboBox* endpointlist = nullptr;  // item 0 the built-in synthesizer, item k destination k-1
    QPushButton* PlayBtn = nullptr;     // "Play" or "Stop"

    explicit MainPanel(QWidget* parent = nullptr);
    ~MainPanel() override;

    // Sets the play button's title to "Play"; returns this window.
    MainPanel* init();
    // Fills the device list and makes the built-in synthesizer the output.
    void awakeFromNib();
    // Loads the named file as the load action would (start-up argument, drop).
    void LoadPath(const QString& path);

    QPlainTextEdit* MessageArea() const { return messages_; }
    QCheckBox* HorizontalSwitch() const { return horizontal_switch_; }
    QCheckBox* VerticalSwitch() const { return vertical_switch_; }
    QCheckBox* GMSwitch() const { return gm_switch_; }
    QCheckBox* CarryStateSwitch() const { return carry_state_switch_; }
    QPushButton* LoadButton() const { return load_button_; }
    QPushButton* SaveButton() const { return save_button_; }
    QLabel* SongName() const { return song_name_; }
    QLabel* SongDetails() const { return song_details_; }
    QLabel* PlayTime() const { return play_time_; }  // "elapsed / total" while playing
    PianoRollView* PianoRoll() const { return piano_roll_; }

public slots:
    void SelectDevice();
    void HorizontalSw();
    void VerticalSw();
    void GMSw();
    void CarryStateSw();
    void LoadFile();
    void PlayFile();
    // Plays the mirrored song from tick on, the state of that point sent
    // first; a song playing stops first.
    void PlayFromTick(int tick);
    // Moves the piano roll's cursor to where the sequencer is.
    void FollowPlayback();
    void SaveFile();
    void reloadEndpoint();
    // Stops a playing song, then releases the loaded song and the play copy.
    void windowWillClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildLayout();
    // Keeps the loader when it read a song; otherwise the song before stays.
    void AfterLoad(std::unique_ptr<MidiFileLoader> loader);
    void ShowSong();
    // The piano roll shows the mirrored song; a new song is fitted into it.
    void ShowMusic(bool newSong);
    void PlayStarted();
    void UpdateButtons();
    std::string SuggestedSaveName() const;
    // ---- what the window tells ----
    // The file name in the title, when a song is loaded.
    void ShowTitle();
    // While this song plays, the point of the music it has reached, as a
    // tick of the song mirrored otherwise: the same tick, or with the time
    // switch changed the mirrored one (total - tick). -1 when it does not play.
    long long ResumePoint(bool timeSwitch);
    // Goes on playing from point (ResumePoint), the copy rebuilt.
    void Resume(long long point);
    // Seconds from the start of the play copy to tick, by its tempo changes.
    double PlayedSecondsAt(long long tick) const;

    QCheckBox* horizontal_switch_ = nullptr;
    QCheckBox* vertical_switch_ = nullptr;
    QCheckBox* gm_switch_ = nullptr;
    QCheckBox* carry_state_switch_ = nullptr;
    QPushButton* load_button_ = nullptr;
    QPushButton* save_button_ = nullptr;
    QToolButton* reload_button_ = nullptr;
    QLabel* song_name_ = nullptr;
    QLabel* song_details_ = nullptr;
    QPlainTextEdit* messages_ = nullptr;
    PianoRollView* piano_roll_ = nullptr;
    QTimer* cursor_timer_ = nullptr;
    // What the cursor's ticks belong to: the loader and the switches of the
    // last play. Another song or other switches on show hide the cursor.
    const MidiFileLoader* played_loader_ = nullptr;
    int played_switches_ = 0;
    QString loaded_path_;
    QLabel* play_time_ = nullptr;
    // The tempo changes of the play copy (tick, microseconds per quarter),
    // its division and length, taken when the play starts.
    std::vector<std::pair<std::int64_t, int>> play_tempos_;
    int play_division_ = 0;
    double play_total_seconds_ = 0.0;
    std::unique_ptr<GuiHooks> hooks_;
    void (*previous_title_hook_)(void*, const char*) = nullptr;
};
