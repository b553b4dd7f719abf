// What the piano roll draws, worked out once per song: the notes as
// rectangles of ticks and pitches, the drum rows, and the bars and beats
// under the song's time signatures. Drawing only reads it. No Qt here.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "midi/event/MidiConstants.h"

class MidiF0Data;

struct PianoRollNote {
    int start = 0;   // tick
    int length = 1;  // ticks, at least 1 so that every note shows
    std::uint8_t pitch = 0;
    std::uint8_t channel = 0;
    std::uint8_t velocity = 0;
    bool drum = false;  // on a drum channel: drawn in the drum rows
    int End() const { return start + length; }
    bool operator==(const PianoRollNote&) const = default;
};

// One song's notes in order of their start, with the lookup of the notes that
// reach into a range of ticks.
class PianoRollNotes {
public:
    // Takes the notes of song (form Q2); drums are the channels the song's
    // drum test finds (channel 10, or one a rhythm-part message names).
    void Build(const MidiF0Data* song);
    void Clear();

    const std::vector<PianoRollNote>& All() const { return notes_; }
    // Indexes [first, last) holding every note that sounds within [from, to):
    // the notes between may still end before from and are to be skipped.
    std::pair<std::size_t, std::size_t> Span(int from, int to) const;
    int EndTick() const { return end_tick_; }
    std::bitset<kMidiChannels> Channels() const { return channels_; }
    std::bitset<kMidiChannels> DrumChannels() const { return drum_channels_; }

private:
    std::vector<PianoRollNote> notes_;
    std::vector<int> reach_;  // reach_[i]: the latest end among notes 0..i
    int end_tick_ = 0;        // of the last note or event
    std::bitset<kMidiChannels> channels_;
    std::bitset<kMidiChannels> drum_channels_;
};

// A bar or beat line.
struct PianoRollLine {
    int tick = 0;
    int bar = 0;  // the bar it begins, counted from 1; 0 on a beat line
};

class PianoRollModel {
public:
    // The song as loaded (form Q2): drawn faintly under the shown song.
    void SetOriginal(const MidiF0Data* song);
    // The song as it plays and saves (form Q2): its notes, bars and beats.
    void SetShown(const MidiF0Data* song);
    void Clear();

    bool Empty() const { return division_ <= 0; }
    const PianoRollNotes& Shown() const { return shown_; }
    const PianoRollNotes& Underlay() const { return underlay_; }
    // Bar and beat lines of the shown song from 0 to the bar after its end.
    const std::vector<PianoRollLine>& Lines() const { return lines_; }
    // The tick at which bar (from 1) begins; past the end the last bar's
    // length counts on. The bar in which tick lies.
    int BarTick(int bar) const;
    int BarAt(int tick) const;
    int EndTick() const;
    int Division() const { return division_; }

    // The rows, top to bottom: the melodic pitches from HighPitch down to
    // LowPitch (whole octaves around the notes of both songs), then one row
    // per drum sound used, from the lowest note down to the highest.
    int HighPitch() const { return high_; }
    int LowPitch() const { return low_; }
    const std::vector<int>& DrumRows() const { return drum_rows_; }
    // The row of a note, counted from the top.
    int RowOf(const PianoRollNote& note) const;
    int RowCount() const { return high_ - low_ + 1 + static_cast<int>(drum_rows_.size()); }
    std::bitset<kMidiChannels> Channels() const { return shown_.Channels() | underlay_.Channels(); }

    // "C4" for 60, "F#3" for 54.
    static std::string NoteName(int pitch);

private:
    void Arrange();  // rows and lines from both songs

    PianoRollNotes shown_;
    PianoRollNotes underlay_;
    std::vector<PianoRollLine> lines_;
    std::vector<std::pair<int, int>> bars_;  // (tick, length) of each bar from 1
    std::vector<int> drum_rows_;
    std::vector<int> drum_row_of_;  // by note number: its drum row, or -1
    int division_ = 0;
    int high_ = 71;
    int low_ = 48;
    // The shown song's time signatures: (tick, ticks per measure, beat length).
    std::vector<std::tuple<int, int, int>> meters_;
};
