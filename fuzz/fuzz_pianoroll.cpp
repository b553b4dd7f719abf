// What the window draws and plays from a point: the piano roll's notes, rows
// and bars of a song and its mirror, and a play copy from a tick the input
// picks (with playback built). Every note is found in its range and has a
// row, bars and ticks agree, and the copy from a point is a playable song.
#include <cstdint>

#include "FuzzSupport.h"
#include "app/PianoRollModel.h"
#include "midi/song/MidiF0Data.h"
#ifdef RETROGRADE_FUZZ_PLAYBACK
#include "playback/StaticMusicPlayer.h"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QuietMessages();
    MidiF0Data song(data, static_cast<long>(size));
    if (!song.GetTrack() || song.GetTrack()->GetEventCount() == 0) return 0;
    MidiF0Data mirror(&song);
    mirror.Q2toQ1();
    mirror.HorizontalReverse();
    mirror.VerticalReverse();
    mirror.Q1toQ2();
    PianoRollModel roll;
    roll.SetOriginal(&song);
    roll.SetShown(&mirror);
    const auto [first, last] = roll.Shown().Span(0, roll.EndTick() + 1);
    if (first != 0 || last != roll.Shown().All().size()) __builtin_trap();
    for (int bar = 1; bar <= 8; ++bar) {
        if (roll.BarAt(roll.BarTick(bar)) != bar) __builtin_trap();
    }
    for (const PianoRollNote& note : roll.Shown().All()) {
        if (roll.RowOf(note) < 0 || roll.RowOf(note) >= roll.RowCount()) __builtin_trap();
    }
#ifdef RETROGRADE_FUZZ_PLAYBACK
    const int tick = size > 0 ? data[size - 1] * roll.Division() : 0;
    const auto from = MakePlayCopyFrom(&song, tick);
    if (!from->GetTrack() || from->form != kFormQ1) __builtin_trap();
#endif
    return 0;
}
