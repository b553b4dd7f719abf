// Reads a Standard MIDI File, plays it backwards and turns it upside down
// (as `retrograde mirror -H -V` does), and writes the result as format 0.
//
//   mirror_file IN.mid OUT.mid
#include <cstdio>

#include "General/GeneralMac.h"
#include "midi/song/SongPipeline.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: mirror_file IN.mid OUT.mid\n");
        return 2;
    }
    // The loader reads format 0 and 1 (MacBinary and RIFF too) into a
    // format-1 song; SetMidiF0Data merges its tracks into one.
    const auto loader = LoadSongByName(argv[1]);
    if (!loader->GetMidiF1Data()) return 1;  // the library has said why
    loader->SetMidiF0Data();
    MidiF0Data* song = loader->GetMidiF0Data();

    // The mirrored copy is in form Q1 (note ons and offs), ready to encode.
    MirrorChoice choice;
    choice.horizontal = true;
    choice.vertical = true;
    const auto mirrored = MirroredCopy(song, choice);
    if (mirrored->Q1toRaw() != 1) return 1;
    if (GneSaveFile(argv[2], mirrored->buffer, mirrored->size) != 1) return 1;
    std::printf("%s: %s as it would sound backwards and upside down, %s long\n", argv[2], argv[1],
                SongTimeText(SongSeconds(*song)).c_str());
    return 0;
}
