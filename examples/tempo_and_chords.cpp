// Lists a song's tempo changes and the chords its markers name.
//
//   tempo_and_chords IN.mid
#include <cstdio>

#include "midi/song/SongPipeline.h"
#include "music/ChordNameCtl.h"

namespace {

const char* const kNames[12] = {"C", "C#", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};

void PrintNote(int note) {
    std::printf(" %s%d", kNames[note % 12], note / 12 - 1);  // C4 = 60
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tempo_and_chords IN.mid\n");
        return 2;
    }
    const auto loader = LoadSongByName(argv[1]);
    if (!loader->GetMidiF1Data()) return 1;  // the library has said why
    loader->SetMidiF0Data();                 // every track merged into one
    const MidiF0Data* song = loader->GetMidiF0Data();
    const MidiTrackData* track = song->GetTrack();

    long tick = 0;
    for (int i = 0; i < track->event_count; ++i) {
        const MidiEvent* e = track->event_table[i];
        tick += e->delta;  // events hold the ticks since the one before
        if (e->IsMeta(kMetaTempo)) {
            // A tempo is microseconds a quarter note.
            std::printf("%8ld  tempo %.1f bpm\n", tick, 60e6 / e->value);
        } else if (e->IsMeta(kMetaMarker)) {
            // A marker's text need not end with a zero: read it with its length.
            const ChordNameCtl chord(reinterpret_cast<const char*>(e->data), e->length);
            std::printf("%8ld  marker \"%.*s\"", tick, e->length,
                        reinterpret_cast<const char*>(e->data));
            if (chord.root != 0) {
                std::printf(" chord");
                for (int note : {chord.bass, chord.root, chord.third, chord.fifth, chord.seventh})
                    if (note != 0) PrintNote(note);
            }
            std::printf("\n");
        }
    }
    std::printf("%s: %s long\n", argv[1], SongTimeText(SongSeconds(*song)).c_str());
    return 0;
}
