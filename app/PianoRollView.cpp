// The piano roll: drawing only what lies in the damaged part of the view
// from the model's cache, zoom and scroll by wheel and keys, the channel
// legend, and the ruler's click that plays from a bar.
#include "app/PianoRollView.h"

#include <algorithm>
#include <cmath>

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "General/GneHooks.h"
#include "midi/tables/MidiDrumSet.h"

namespace {

constexpr int kDrumGap = 6;           // between the melodic rows and the drum rows
constexpr int kMinRowHeight = 3;      // a fitted row is never lower
constexpr int kDrumRowHeight = 11;    // drum rows are never lower: their names must show
constexpr int kMaxRowHeight = 16;     // nor higher
constexpr int kMinLabelSpacing = 40;  // pixels between two bar numbers on the ruler
constexpr double kZoomStep = 1.25;    // one wheel notch or one key press
constexpr int kShades = 8;            // velocity shades per channel

// One hue per channel, told apart on a light background; channel 10 (the
// drums) a neutral brown.
constexpr std::array<QRgb, kMidiChannels> kChannelColours = {
    0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd, 0x17becf, 0xe377c2, 0xbcbd22,
    0x393b79, 0x8c564b, 0x637939, 0xad494a, 0x3182bd, 0x7b4173, 0x31a354, 0xe6550d,
};

QColor ChannelColour(int channel) {
    return QColor::fromRgb(kChannelColours[static_cast<std::size_t>(channel)]);
}

// The colour of a note: soft notes paler, loud ones the channel's full colour.
const QColor& NoteColour(int channel, int velocity) {
    static const auto table = [] {
        std::array<std::array<QColor, kShades>, kMidiChannels> colours;
        for (int c = 0; c < kMidiChannels; ++c) {
            const QColor full = ChannelColour(c);
            for (int s = 0; s < kShades; ++s) {
                const double pale = 0.65 * (kShades - 1 - s) / (kShades - 1);
                colours[c][s] = QColor::fromRgbF(full.redF() + (1 - full.redF()) * pale,
                                                 full.greenF() + (1 - full.greenF()) * pale,
                                                 full.blueF() + (1 - full.blueF()) * pale);
            }
        }
        return colours;
    }();
    return table[static_cast<std::size_t>(channel)]
                [static_cast<std::size_t>(velocity * kShades / 128)];
}

bool IsBlackKey(int pitch) {
    static constexpr std::array<bool, 12> kBlack = {false, true,  false, true,  false, false,
                                                    true,  false, true,  false, true,  false};
    return kBlack[static_cast<std::size_t>(pitch % 12)];
}

// The General MIDI name of a drum lane, in the reader's language.
QString DrumName(int note) {
    const std::string_view name = GetMidiDrumSetName(note);
    if (name.empty()) return QString::fromStdString(PianoRollModel::NoteName(note));
    return QString::fromStdString(GneTranslate(name));
}

QPixmap Swatch(int channel, bool shown) {
    QPixmap swatch(12, 12);
    swatch.fill(Qt::transparent);
    QPainter p(&swatch);
    p.setPen(ChannelColour(channel).darker(130));
    p.setBrush(shown ? ChannelColour(channel) : QColor(Qt::transparent));
    p.drawRect(0, 0, 11, 11);
    return swatch;
}

}  // namespace

PianoRollCanvas::PianoRollCanvas(const PianoRollModel* model, QWidget* parent)
    : QAbstractScrollArea(parent), model_(model) {
    setFocusPolicy(Qt::StrongFocus);
    // Bars that come and go would change the width a fitted song is fitted to.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFrameShape(QFrame::StyledPanel);
    viewport()->setAutoFillBackground(false);
    horizontalScrollBar()->setSingleStep(40);
    verticalScrollBar()->setSingleStep(20);
    setMinimumHeight(160);
    setToolTip(
        QStringLiteral("Wheel scrolls up and down, Shift+wheel across, Ctrl+wheel or +/- "
                       "zooms, 0 fits the song. Click the ruler to play from that bar."));
}

int PianoRollCanvas::ContentWidth() const {
    const long long end = model_->BarTick(model_->BarAt(model_->EndTick()) + 1);
    return static_cast<int>(std::min<double>(end * pixels_per_tick_ + 1, 1 << 30));
}

int PianoRollCanvas::ContentHeight() const {
    const int melodic = model_->HighPitch() - model_->LowPitch() + 1;
    const int drums = model_->RowCount() - melodic;
    return melodic * row_height_ + (drums > 0 ? kDrumGap + drums * DrumRowHeight() : 0);
}

void PianoRollCanvas::UpdateScrollBars() {
    const int width = std::max(0, viewport()->width() - kKeysWidth);
    const int height = std::max(0, viewport()->height() - kRulerHeight);
    horizontalScrollBar()->setPageStep(width);
    horizontalScrollBar()->setRange(0, std::max(0, ContentWidth() - width));
    verticalScrollBar()->setPageStep(height);
    verticalScrollBar()->setRange(0, std::max(0, ContentHeight() - height));
}

void PianoRollCanvas::Refresh(bool fit) {
    if (fit) fit_pending_ = true;
    if (fit_pending_ && viewport()->width() > kKeysWidth) {
        Fit();
        return;
    }
    UpdateScrollBars();
    viewport()->update();
}

void PianoRollCanvas::Fit() {
    fit_pending_ = false;
    fitted_ = true;
    const int width = std::max(1, viewport()->width() - kKeysWidth - 4);
    const long long end =
        std::max(model_->EndTick(), model_->Division() > 0 ? model_->Division() : 1);
    pixels_per_tick_ = static_cast<double>(width) / static_cast<double>(end);
    // The drum rows keep the height their names need; the pitches share the rest.
    const int drums = static_cast<int>(model_->DrumRows().size());
    const int melodic = std::max(1, model_->HighPitch() - model_->LowPitch() + 1);
    const int height = viewport()->height() - kRulerHeight - (drums > 0 ? kDrumGap : 0);
    row_height_ =
        std::clamp((height - drums * kDrumRowHeight) / melodic, kMinRowHeight, kMaxRowHeight);
    if (row_height_ > kDrumRowHeight) {
        row_height_ = std::clamp(height / (melodic + drums), kMinRowHeight, kMaxRowHeight);
    }
    UpdateScrollBars();
    horizontalScrollBar()->setValue(0);
    // The middle of the rows in the middle of the view.
    verticalScrollBar()->setValue(verticalScrollBar()->maximum() / 2);
    viewport()->update();
}

void PianoRollCanvas::ZoomBy(double factor, int x) {
    if (model_->Empty()) return;
    fitted_ = false;
    x = std::max(x, kKeysWidth);
    const double tick = (x - kKeysWidth + horizontalScrollBar()->value()) / pixels_per_tick_;
    // From the whole song in a quarter of the view to a 32nd note of 40 pixels.
    const double widest = 320.0 / model_->Division();
    const double narrowest =
        std::max(1, viewport()->width() - kKeysWidth) / 4.0 / std::max(1, model_->EndTick());
    pixels_per_tick_ = std::clamp(pixels_per_tick_ * factor, std::min(narrowest, widest), widest);
    UpdateScrollBars();
    horizontalScrollBar()->setValue(static_cast<int>(std::lround(tick * pixels_per_tick_)) -
                                    (x - kKeysWidth));
    viewport()->update();
}

void PianoRollCanvas::SetChannelVisible(int channel, bool visible) {
    if (channel < 0 || channel >= kMidiChannels) return;
    hidden_.set(static_cast<std::size_t>(channel), !visible);
    viewport()->update();
}

void PianoRollCanvas::SetCursor(long long tick) {
    if (tick == cursor_) return;
    const int old_x = XOfTick(cursor_);
    const bool was = cursor_ >= 0;
    cursor_ = tick;
    if (tick >= 0) {
        // Page on when the cursor nears the right edge or lies out of sight.
        const int x = XOfTick(tick);
        if (x < kKeysWidth || x > viewport()->width() - 16) {
            const int width = viewport()->width() - kKeysWidth;
            horizontalScrollBar()->setValue(static_cast<int>(std::lround(tick * pixels_per_tick_)) -
                                            width / 10);
        }
    }
    // Only the strips of the old and the new cursor are drawn again.
    if (was) viewport()->update(old_x - 6, 0, 13, viewport()->height());
    if (tick >= 0) viewport()->update(XOfTick(tick) - 6, 0, 13, viewport()->height());
}

int PianoRollCanvas::XOfTick(long long tick) const {
    const double x = kKeysWidth + tick * pixels_per_tick_ - horizontalScrollBar()->value();
    return static_cast<int>(std::floor(std::clamp(x, -1e9, 1e9)));
}

long long PianoRollCanvas::TickAtX(int x) const {
    return static_cast<long long>(
        std::floor((x - kKeysWidth + horizontalScrollBar()->value()) / pixels_per_tick_));
}

int PianoRollCanvas::YOfRow(int row) const {
    const int melodic = model_->HighPitch() - model_->LowPitch() + 1;
    const int y = row < melodic
                      ? row * row_height_
                      : melodic * row_height_ + kDrumGap + (row - melodic) * DrumRowHeight();
    return kRulerHeight + y - verticalScrollBar()->value();
}

int PianoRollCanvas::DrumRowHeight() const {
    return std::max(row_height_, kDrumRowHeight);
}

int PianoRollCanvas::RowHeightOf(int row) const {
    return row < model_->HighPitch() - model_->LowPitch() + 1 ? row_height_ : DrumRowHeight();
}

void PianoRollCanvas::scrollContentsBy(int, int) {
    viewport()->update();
}

void PianoRollCanvas::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    // A fitted view stays fitted as the window changes size.
    Refresh(fitted_ && !model_->Empty());
}

void PianoRollCanvas::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        if (delta.y() != 0) {
            ZoomBy(delta.y() > 0 ? kZoomStep : 1 / kZoomStep,
                   static_cast<int>(event->position().x()));
        }
    } else if (event->modifiers() & Qt::ShiftModifier) {
        // Some systems turn a shifted wheel into a horizontal one already.
        const int step = delta.y() != 0 ? delta.y() : delta.x();
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - step);
    } else {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - delta.x());
        verticalScrollBar()->setValue(verticalScrollBar()->value() - delta.y() / 2);
    }
    event->accept();
}

void PianoRollCanvas::keyPressEvent(QKeyEvent* event) {
    const int middle = (kKeysWidth + viewport()->width()) / 2;
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            ZoomBy(kZoomStep, middle);
            break;
        case Qt::Key_Minus:
            ZoomBy(1 / kZoomStep, middle);
            break;
        case Qt::Key_0:
            Fit();
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    event->accept();
}

void PianoRollCanvas::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && at.y() < kRulerHeight && at.x() >= kKeysWidth &&
        !model_->Empty()) {
        const long long tick = std::max<long long>(0, TickAtX(at.x()));
        emit PlayFromTick(
            model_->BarTick(model_->BarAt(static_cast<int>(std::min<long long>(tick, 1 << 30)))));
        event->accept();
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void PianoRollCanvas::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    const QRect damaged = event->rect();
    const int width = viewport()->width();
    const int height = viewport()->height();
    p.fillRect(damaged, palette().base());
    if (model_->Empty()) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(viewport()->rect(), Qt::AlignCenter,
                   QStringLiteral("The notes of a loaded song show here."));
        return;
    }
    // Only the ticks and rows of the damaged part are looked at.
    const long long from = TickAtX(std::max(damaged.left(), kKeysWidth));
    const long long to = TickAtX(damaged.right()) + 1;
    const int top = std::max(damaged.top(), kRulerHeight);
    const int bottom = damaged.bottom() + 1;

    p.save();
    p.setClipRect(QRect(kKeysWidth, kRulerHeight, width - kKeysWidth, height - kRulerHeight) &
                  damaged);
    PaintRows(p, top, bottom);
    PaintLines(p, from, to);
    PaintNotes(p, model_->Underlay(), true, from, to, top, bottom);
    PaintNotes(p, model_->Shown(), false, from, to, top, bottom);
    if (cursor_ >= 0) {
        p.fillRect(XOfTick(cursor_), kRulerHeight, 2, height - kRulerHeight, QColor(220, 30, 30));
    }
    p.restore();

    p.save();
    p.setClipRect(QRect(kKeysWidth, 0, width - kKeysWidth, kRulerHeight) & damaged);
    PaintRuler(p, from, to);
    p.restore();
    p.save();
    p.setClipRect(QRect(0, kRulerHeight, kKeysWidth, height - kRulerHeight) & damaged);
    PaintKeys(p, top, bottom);
    p.restore();
    p.fillRect(QRect(0, 0, kKeysWidth, kRulerHeight) & damaged, palette().window());
}

void PianoRollCanvas::PaintRows(QPainter& p, int top, int bottom) const {
    const int melodic = model_->HighPitch() - model_->LowPitch() + 1;
    const int width = viewport()->width();
    const QColor black_key(236, 238, 242);
    const QColor drum_row(244, 241, 236);
    const QColor octave_line(205, 208, 214);
    for (int row = 0; row < model_->RowCount(); ++row) {
        const int y = YOfRow(row);
        const int h = RowHeightOf(row);
        if (y + h <= top) continue;
        if (y >= bottom) break;
        if (row < melodic) {
            const int pitch = model_->HighPitch() - row;
            if (IsBlackKey(pitch)) p.fillRect(kKeysWidth, y, width, h, black_key);
            if (pitch % 12 == 0) p.fillRect(kKeysWidth, y + h - 1, width, 1, octave_line);
        } else if ((row - melodic) % 2 == 1) {
            p.fillRect(kKeysWidth, y, width, h, drum_row);
        }
    }
    if (!model_->DrumRows().empty()) {
        p.fillRect(kKeysWidth, YOfRow(melodic) - kDrumGap, width, kDrumGap, QColor(200, 200, 200));
    }
}

void PianoRollCanvas::PaintLines(QPainter& p, long long from, long long to) const {
    const auto& lines = model_->Lines();
    auto it = std::lower_bound(lines.begin(), lines.end(), from,
                               [](const PianoRollLine& l, long long t) { return l.tick < t; });
    const int height = viewport()->height();
    const QColor bar(150, 155, 165);
    const QColor beat(222, 224, 228);
    // Beats closer than this many pixels are left out.
    const bool beats = model_->Division() * pixels_per_tick_ >= 6;
    for (; it != lines.end() && it->tick <= to; ++it) {
        if (it->bar == 0 && !beats) continue;
        p.fillRect(XOfTick(it->tick), kRulerHeight, 1, height, it->bar != 0 ? bar : beat);
    }
}

void PianoRollCanvas::PaintNotes(QPainter& p, const PianoRollNotes& notes, bool faint,
                                 long long from, long long to, int top, int bottom) const {
    const auto [first, last] = notes.Span(static_cast<int>(std::clamp<long long>(from, 0, 1 << 30)),
                                          static_cast<int>(std::clamp<long long>(to, 0, 1 << 30)));
    const auto& all = notes.All();
    const QColor underlay(120, 120, 130, 60);
    for (std::size_t i = first; i < last; ++i) {
        const PianoRollNote& n = all[i];
        if (n.End() <= from || hidden_.test(n.channel)) continue;
        const int row = model_->RowOf(n);
        const int y = YOfRow(row);
        const int h = RowHeightOf(row);
        if (y + h <= top || y >= bottom) continue;
        const int x0 = XOfTick(n.start);
        const int x1 = XOfTick(n.End());
        // A pixel's gap between notes that follow each other, and between
        // rows, where there is room for it.
        const int w = std::max(1, x1 - x0 - (x1 - x0 > 3 ? 1 : 0));
        const int inset = h >= 5 ? 1 : 0;
        p.fillRect(x0, y + inset, w, h - inset,
                   faint ? underlay : NoteColour(n.channel, n.velocity));
    }
}

void PianoRollCanvas::PaintRuler(QPainter& p, long long from, long long to) const {
    const int width = viewport()->width();
    p.fillRect(kKeysWidth, 0, width - kKeysWidth, kRulerHeight, palette().window());
    p.fillRect(kKeysWidth, kRulerHeight - 1, width - kKeysWidth, 1, palette().mid());
    const auto& lines = model_->Lines();
    // Number every bar, or every 2nd, 4th ... when bars are narrow.
    const double bar_pixels = 4.0 * model_->Division() * pixels_per_tick_;
    int every = 1;
    while (every * bar_pixels < kMinLabelSpacing && every < (1 << 20)) every *= 2;
    QFont font = p.font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    p.setFont(font);
    p.setPen(palette().color(QPalette::WindowText));
    // Labels stand right of their line: a label whose bar began before from
    // may still reach into the damaged part.
    const long long reach = static_cast<long long>(kMinLabelSpacing / pixels_per_tick_) + 1;
    auto it = std::lower_bound(lines.begin(), lines.end(), from - reach,
                               [](const PianoRollLine& l, long long t) { return l.tick < t; });
    for (; it != lines.end() && it->tick <= to; ++it) {
        if (it->bar == 0) continue;
        const int x = XOfTick(it->tick);
        const bool labelled = (it->bar - 1) % every == 0;
        p.fillRect(x, labelled ? 6 : 13, 1, kRulerHeight, palette().color(QPalette::Mid));
        if (labelled)
            p.drawText(x + 3, 4, kMinLabelSpacing, kRulerHeight - 6,
                       Qt::AlignLeft | Qt::AlignVCenter, QString::number(it->bar));
    }
    if (cursor_ >= 0) {
        const int x = XOfTick(cursor_);
        const QPoint mark[] = {
            {x - 5, kRulerHeight - 8}, {x + 6, kRulerHeight - 8}, {x + 1, kRulerHeight - 1}};
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 30, 30));
        p.drawPolygon(mark, 3);
    }
}

void PianoRollCanvas::PaintKeys(QPainter& p, int top, int bottom) const {
    const int melodic = model_->HighPitch() - model_->LowPitch() + 1;
    const QColor white(252, 252, 252);
    const QColor black(60, 62, 68);
    const QColor drum_row(244, 241, 236);
    const int black_width = kKeysWidth * 3 / 5;
    p.fillRect(0, kRulerHeight, kKeysWidth, viewport()->height(), palette().window());
    const double size = p.font().pointSizeF() * 0.85;
    QFont font = p.font();
    font.setPointSizeF(std::clamp(row_height_ * 0.75, 6.5, size));
    QFont drum_font = p.font();
    drum_font.setPointSizeF(std::clamp(DrumRowHeight() * 0.75, 6.0, size));
    const bool every_name = row_height_ >= 12;
    const auto& drums = model_->DrumRows();
    for (int row = 0; row < model_->RowCount(); ++row) {
        const int y = YOfRow(row);
        const int h = RowHeightOf(row);
        if (y + h <= top) continue;
        if (y >= bottom) break;
        if (row < melodic) {
            // The keys point at the notes: the black ones reach in from the left.
            const int pitch = model_->HighPitch() - row;
            const bool black_key = IsBlackKey(pitch);
            p.fillRect(0, y, kKeysWidth - 1, h, white);
            if (black_key) p.fillRect(0, y, black_width, h, black);
            if (pitch % 12 == 0 || pitch % 12 == 5)
                p.fillRect(0, y + h - 1, kKeysWidth - 1, 1, QColor(190, 190, 195));
            if (pitch % 12 == 0 || (every_name && !black_key)) {
                p.setFont(font);
                p.setPen(pitch % 12 == 0 ? QColor(20, 20, 20) : QColor(120, 120, 120));
                p.drawText(black_width, y - 4, kKeysWidth - black_width - 4, h + 8,
                           Qt::AlignRight | Qt::AlignVCenter,
                           QString::fromStdString(PianoRollModel::NoteName(pitch)));
            }
        } else {
            const int note = drums[static_cast<std::size_t>(row - melodic)];
            p.fillRect(0, y, kKeysWidth - 1, h, (row - melodic) % 2 ? drum_row : white);
            p.setFont(drum_font);
            p.setPen(QColor(60, 50, 40));
            const QString name =
                p.fontMetrics().elidedText(DrumName(note), Qt::ElideRight, kKeysWidth - 8);
            p.drawText(4, y - 4, kKeysWidth - 8, h + 8, Qt::AlignLeft | Qt::AlignVCenter, name);
        }
    }
    p.fillRect(kKeysWidth - 1, kRulerHeight, 1, viewport()->height(), palette().mid());
}

PianoRollView::PianoRollView(QWidget* parent) : QWidget(parent) {
    canvas_ = new PianoRollCanvas(&model_, this);
    auto* legend = new QHBoxLayout;
    legend->setSpacing(2);
    auto* label = new QLabel(QStringLiteral("Channels:"));
    label->setForegroundRole(QPalette::PlaceholderText);
    legend->addWidget(label);
    for (int c = 0; c < kMidiChannels; ++c) {
        auto* button = new QToolButton;
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        button->setCheckable(true);
        button->setChecked(true);
        button->setIcon(Swatch(c, true));
        button->setText(QString::number(c + 1));
        button->setVisible(false);
        connect(button, &QToolButton::toggled, this, [this, c](bool shown) {
            legend_[static_cast<std::size_t>(c)]->setIcon(Swatch(c, shown));
            canvas_->SetChannelVisible(c, shown);
        });
        legend_[static_cast<std::size_t>(c)] = button;
        legend->addWidget(button);
    }
    legend->addStretch(1);
    auto add_tool = [&](const QString& text, const QString& tip, auto action) {
        auto* tool = new QToolButton;
        tool->setText(text);
        tool->setToolTip(tip);
        tool->setAutoRaise(true);
        connect(tool, &QToolButton::clicked, canvas_, action);
        legend->addWidget(tool);
    };
    const int middle = PianoRollCanvas::kKeysWidth;
    add_tool(QStringLiteral("−"), QStringLiteral("Zoom out (-, Ctrl+wheel)"),
             [this, middle] { canvas_->ZoomBy(0.8, (middle + canvas_->viewport()->width()) / 2); });
    add_tool(QStringLiteral("+"), QStringLiteral("Zoom in (+, Ctrl+wheel)"), [this, middle] {
        canvas_->ZoomBy(1.25, (middle + canvas_->viewport()->width()) / 2);
    });
    add_tool(QStringLiteral("Fit"), QStringLiteral("The whole song in the view (0)"),
             [this] { canvas_->Fit(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(legend);
    layout->addWidget(canvas_, 1);
    connect(canvas_, &PianoRollCanvas::PlayFromTick, this, &PianoRollView::PlayFromTick);
}

void PianoRollView::SetSong(const MidiF0Data* original, const MidiF0Data* shown) {
    model_.SetOriginal(original);
    model_.SetShown(shown);
    for (QToolButton* button : legend_) button->setChecked(true);
    UpdateLegend();
    canvas_->Refresh(true);
}

void PianoRollView::SetShown(const MidiF0Data* song) {
    model_.SetShown(song);
    canvas_->Refresh(false);
}

void PianoRollView::Clear() {
    model_.Clear();
    UpdateLegend();
    canvas_->SetCursor(-1);
    canvas_->Refresh(false);
}

void PianoRollView::UpdateLegend() {
    const auto used = model_.Channels();
    const auto drums = model_.Underlay().DrumChannels() | model_.Shown().DrumChannels();
    for (int c = 0; c < kMidiChannels; ++c) {
        QToolButton* button = legend_[static_cast<std::size_t>(c)];
        button->setVisible(used.test(c));
        button->setToolTip(QStringLiteral("Channel %1%2: click to hide or show its notes")
                               .arg(c + 1)
                               .arg(drums.test(c) ? QStringLiteral(" (drums)") : QString()));
    }
}
