// The piano roll under the window's controls: the song as it would play,
// time across and pitch upwards, the loaded song faint beneath it, a time
// ruler of bars, a keyboard strip, a channel legend and the playback cursor.
#pragma once

#include <array>
#include <bitset>

#include <QAbstractScrollArea>
#include <QWidget>

#include "app/PianoRollModel.h"

class MidiF0Data;
class QToolButton;

// The drawing itself, scrolled and zoomed. Time runs at PixelsPerTick; every
// row (one pitch, or one drum sound) is RowHeight pixels high.
class PianoRollCanvas : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr int kRulerHeight = 22;  // the time ruler at the top
    static constexpr int kKeysWidth = 110;   // the keyboard strip at the left

    explicit PianoRollCanvas(const PianoRollModel* model, QWidget* parent = nullptr);

    // The model changed: new extents, the zoom as it was. With fit, the whole
    // song is fitted into the view (at once, or when it first gets a size).
    void Refresh(bool fit);
    void Fit();
    // Zooms time by factor, keeping the tick under viewport x where it is.
    void ZoomBy(double factor, int x);
    void SetChannelVisible(int channel, bool visible);
    bool IsChannelVisible(int channel) const { return !hidden_.test(channel); }
    // The playback cursor at tick of the shown song; -1 hides it. The view
    // scrolls so that the cursor stays in sight.
    void SetCursor(long long tick);
    long long Cursor() const { return cursor_; }

    double PixelsPerTick() const { return pixels_per_tick_; }
    int RowHeight() const { return row_height_; }
    // Viewport x of tick, and the tick at viewport x.
    int XOfTick(long long tick) const;
    long long TickAtX(int x) const;
    // Viewport y of the top of row (counted from the top of the rows), and
    // its height: drum rows are never too low for their names.
    int YOfRow(int row) const;
    int RowHeightOf(int row) const;

signals:
    // A click on the time ruler: play from the start of that bar.
    void PlayFromTick(int tick);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void UpdateScrollBars();
    int DrumRowHeight() const;
    int ContentWidth() const;
    int ContentHeight() const;
    void PaintRows(QPainter& p, int top, int bottom) const;
    void PaintLines(QPainter& p, long long from, long long to) const;
    void PaintNotes(QPainter& p, const PianoRollNotes& notes, bool faint, long long from,
                    long long to, int top, int bottom) const;
    void PaintRuler(QPainter& p, long long from, long long to) const;
    void PaintKeys(QPainter& p, int top, int bottom) const;

    const PianoRollModel* model_;
    double pixels_per_tick_ = 0.1;
    int row_height_ = 8;
    std::bitset<kMidiChannels> hidden_;
    long long cursor_ = -1;
    bool fit_pending_ = false;  // to be fitted once the view has a size
    bool fitted_ = false;       // fitted and not zoomed since: stays fitted when resized
};

class PianoRollView : public QWidget {
    Q_OBJECT

public:
    explicit PianoRollView(QWidget* parent = nullptr);

    // A newly loaded song (form Q2) and its mirror as the switches leave it
    // (form Q2): the song's notes lie faintly beneath, the legend lists its
    // channels, all of them shown, and the view fits the mirror.
    void SetSong(const MidiF0Data* original, const MidiF0Data* shown);
    // The song as the switches leave it (form Q2); the zoom stays.
    void SetShown(const MidiF0Data* song);
    void Clear();

    const PianoRollModel& Model() const { return model_; }
    PianoRollCanvas* Canvas() const { return canvas_; }
    // The legend's button of channel 0..15 (hidden when the song leaves the
    // channel unused): a click hides or shows the channel.
    QToolButton* LegendButton(int channel) const { return legend_[channel]; }

signals:
    void PlayFromTick(int tick);

private:
    void UpdateLegend();

    PianoRollModel model_;
    PianoRollCanvas* canvas_ = nullptr;
    std::array<QToolButton*, kMidiChannels> legend_{};
};
