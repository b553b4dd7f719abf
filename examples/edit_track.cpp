// Transposes a song and puts its notes on a grid of sixteenths, track by
// track, and writes it as format 1.
//
//   edit_track IN.mid OUT.mid [SEMITONES]
#include <cstdio>
#include <cstdlib>

#include "General/GeneralMac.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/SongPipeline.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: edit_track IN.mid OUT.mid [SEMITONES]\n");
        return 2;
    }
    const int semitones = argc == 4 ? std::atoi(argv[3]) : 2;
    const auto loader = LoadSongByName(argv[1]);
    MidiF1Data* song = loader->GetMidiF1Data();
    if (!song) return 1;  // the library has said why

    // The tracks of a loaded song are in form Q2: each note one record with
    // its length. Drums (channel 10, counted from 1) keep their pitches.
    for (int n = 0; n < song->GetTrackCount(); ++n) {
        MidiTrackData* track = song->GetTrack(n);
        for (int channel = 0; channel < 16; ++channel) {
            if (channel != 9) track->ShiftNote(channel, semitones);
        }
        track->QuantizeData(4, song->division);  // a quarter note in 4 steps
    }
    // Back to note ons and offs, then to the bytes of a format-1 file.
    const int tracks = song->GetTrackCount();
    song->Q2toQ1();
    if (song->Q1toRaw() != 1) return 1;
    if (GneSaveFile(argv[2], song->buffer, song->size) != 1) return 1;
    std::printf("%s: %d tracks, %+d semitones, on a grid of sixteenths\n", argv[2], tracks,
                semitones);
    return 0;
}
