// The piano roll's notes, rows, bars and beats, from a song in form Q2.
#include "app/PianoRollModel.h"

#include <algorithm>
#include <array>
#include <climits>
#include <tuple>

#include "midi/song/MidiF0Data.h"

namespace {

constexpr int kOctave = 12;
constexpr int kBarsAfterEnd = 1;  // the lines run on one bar past the end
// A song of a few ticks to the quarter with one far event would otherwise ask
// for millions of bars: past these the bars count on with the last length,
// undrawn, and the beats are left out.
constexpr std::size_t kMaxBars = 100000;
constexpr std::size_t kMaxLines = 400000;

int Clamp7(int value) {
    return std::clamp(value, 0, kMidiMaxDataByte);
}

// Ticks of one measure of the meter code (numerator × 256 + denominator),
// as the song's measure arithmetic counts them; 0 for a meter of no length.
// Worked out here rather than through GneGetTimeSignValue, which alerts on
// a whole-note meter at every call: the view asks at every switch.
int MeasureTicks(int code, int division) {
    const int numerator = code / 256;
    const int denominator = code % 256;
    const double quarters = denominator == 0 ? 4.0 : numerator * (4.0 / denominator);
    return static_cast<int>(std::min<double>(quarters * division, INT_MAX / 2));
}

}  // namespace

void PianoRollNotes::Clear() {
    notes_.clear();
    reach_.clear();
    end_tick_ = 0;
    channels_.reset();
    drum_channels_.reset();
}

void PianoRollNotes::Build(const MidiF0Data* song) {
    Clear();
    MidiTrackData* track = song != nullptr ? song->GetTrack() : nullptr;
    if (track == nullptr || song->form != kFormQ2) return;
    notes_.reserve(static_cast<std::size_t>(track->event_count));
    long long tick = 0;
    long long end = 0;
    for (int i = 0; i < track->event_count; ++i) {
        const MidiEvent* e = track->GetEvent(i);
        tick += std::max(e->delta, 0);
        end = std::max(end, tick);
        if (e->status != kEvNote || e->channel < 0 || e->channel >= kMidiChannels) continue;
        PianoRollNote note;
        note.start = static_cast<int>(std::min<long long>(tick, INT_MAX / 2));
        note.length = std::clamp(e->duration, 1, INT_MAX / 2);
        note.pitch = static_cast<std::uint8_t>(Clamp7(e->note));
        note.channel = static_cast<std::uint8_t>(e->channel);
        note.velocity = static_cast<std::uint8_t>(Clamp7(e->velocity));
        channels_.set(note.channel);
        end = std::max<long long>(end, note.End());
        notes_.push_back(note);
    }
    end_tick_ = static_cast<int>(std::min<long long>(end, INT_MAX / 2));
    for (int c = 0; c < kMidiChannels; ++c) {
        if (channels_.test(c) && track->IsDrumChanel(c) == 1) drum_channels_.set(c);
    }
    // Events of one tick are in file order; the lookup needs start order only.
    std::stable_sort(
        notes_.begin(), notes_.end(),
        [](const PianoRollNote& a, const PianoRollNote& b) { return a.start < b.start; });
    reach_.resize(notes_.size());
    int reach = 0;
    for (std::size_t i = 0; i < notes_.size(); ++i) {
        notes_[i].drum = drum_channels_.test(notes_[i].channel);
        reach = std::max(reach, notes_[i].End());
        reach_[i] = reach;
    }
}

std::pair<std::size_t, std::size_t> PianoRollNotes::Span(int from, int to) const {
    // reach_ never falls, so the first note that can reach past from is
    // found by bisection, as is the first that starts at or after to.
    const auto first = std::upper_bound(reach_.begin(), reach_.end(), from) - reach_.begin();
    const auto last = std::lower_bound(notes_.begin() + first, notes_.end(), to,
                                       [](const PianoRollNote& n, int t) { return n.start < t; }) -
                      notes_.begin();
    return {static_cast<std::size_t>(first), static_cast<std::size_t>(last)};
}

void PianoRollModel::Clear() {
    shown_.Clear();
    underlay_.Clear();
    lines_.clear();
    bars_.clear();
    meters_.clear();
    drum_rows_.clear();
    drum_row_of_.clear();
    division_ = 0;
}

void PianoRollModel::SetOriginal(const MidiF0Data* song) {
    underlay_.Build(song);
    Arrange();
}

void PianoRollModel::SetShown(const MidiF0Data* song) {
    shown_.Build(song);
    division_ = song != nullptr && song->GetTrack() != nullptr ? song->division : 0;
    meters_.clear();
    if (division_ > 0) {
        MidiTrackData* track = song->GetTrack();
        long long tick = 0;
        for (int i = 0; i < track->event_count; ++i) {
            const MidiEvent* e = track->GetEvent(i);
            tick += std::max(e->delta, 0);
            if (!e->IsMeta(kMetaTimeSignature)) continue;
            const int length = MeasureTicks(e->value, division_);
            const int denominator = e->value % 256;
            const int beat = denominator > 0 ? division_ * 4 / denominator : division_;
            // A meter of no length counts nothing; the one before stays.
            if (length > 0 && beat > 0) {
                meters_.emplace_back(static_cast<int>(std::min<long long>(tick, INT_MAX / 2)),
                                     length, beat);
            }
        }
    }
    Arrange();
}

int PianoRollModel::EndTick() const {
    return std::max(shown_.EndTick(), underlay_.EndTick());
}

void PianoRollModel::Arrange() {
    // Rows: whole octaves around the melodic notes of both songs.
    int low = kMidiMaxDataByte;
    int high = 0;
    std::array<bool, kMidiNotes> drum_used{};
    for (const PianoRollNotes* notes : {&shown_, &underlay_}) {
        for (const PianoRollNote& n : notes->All()) {
            if (n.drum) {
                drum_used[n.pitch] = true;
            } else {
                low = std::min<int>(low, n.pitch);
                high = std::max<int>(high, n.pitch);
            }
        }
    }
    if (low > high) {  // no melody: an octave each side of middle C
        low = 48;
        high = 71;
    }
    low_ = low / kOctave * kOctave;
    high_ = std::min(kMidiMaxDataByte, high / kOctave * kOctave + kOctave - 1);
    drum_rows_.clear();
    drum_row_of_.assign(kMidiNotes, -1);
    for (int p = 0; p < kMidiNotes; ++p) {
        if (!drum_used[p]) continue;
        drum_row_of_[p] = static_cast<int>(drum_rows_.size());
        drum_rows_.push_back(p);
    }

    // Bars as the song's measure arithmetic counts them: 4/4 until the first
    // time signature; a meter changes the length of the bar it falls in.
    bars_.clear();
    lines_.clear();
    if (division_ <= 0) return;
    const long long end = EndTick();
    long long start = 0;
    int length = 4 * division_;
    int beat = division_;
    std::size_t next = 0;
    while (true) {
        // A meter within the bar sets the length of that bar already.
        while (next < meters_.size() && std::get<0>(meters_[next]) < start + length) {
            length = std::get<1>(meters_[next]);
            beat = std::get<2>(meters_[next]);
            ++next;
        }
        if (start > end + static_cast<long long>(kBarsAfterEnd) * length) break;
        if (start > INT_MAX / 2 || bars_.size() >= kMaxBars) break;
        bars_.emplace_back(static_cast<int>(start), length);
        lines_.push_back({static_cast<int>(start), static_cast<int>(bars_.size())});
        for (long long b = start + beat; b < start + length && lines_.size() < kMaxLines; b += beat)
            lines_.push_back({static_cast<int>(b), 0});
        start += length;
    }
}

int PianoRollModel::BarTick(int bar) const {
    if (bars_.empty() || bar < 1) return 0;
    if (bar <= static_cast<int>(bars_.size())) return bars_[bar - 1].first;
    const auto& [tick, length] = bars_.back();
    const long long at =
        tick + static_cast<long long>(bar - static_cast<int>(bars_.size())) * length;
    return static_cast<int>(std::min<long long>(at, INT_MAX));
}

int PianoRollModel::BarAt(int tick) const {
    if (bars_.empty() || tick < 0) return 1;
    const auto it =
        std::upper_bound(bars_.begin(), bars_.end(), tick,
                         [](int t, const std::pair<int, int>& b) { return t < b.first; });
    const int index = static_cast<int>(it - bars_.begin());  // bars begun by tick
    const auto& [start, length] = bars_[index - 1];
    if (index < static_cast<int>(bars_.size()) || tick < start + length) return index;
    return index + static_cast<int>((tick - start) / length);
}

int PianoRollModel::RowOf(const PianoRollNote& note) const {
    if (note.drum) {
        const int row = drum_row_of_.empty() ? -1 : drum_row_of_[note.pitch];
        return high_ - low_ + 1 + std::max(row, 0);
    }
    return high_ - note.pitch;
}

std::string PianoRollModel::NoteName(int pitch) {
    static constexpr std::array<const char*, kOctave> kNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                                "F#", "G",  "G#", "A",  "A#", "B"};
    pitch = Clamp7(pitch);
    return std::string(kNames[static_cast<std::size_t>(pitch % kOctave)]) +
           std::to_string(pitch / kOctave - 1);
}
