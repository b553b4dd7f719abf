/// @file
/// A chord name written as text (a marker of a song: root letter, accidental,
/// quality, seventh) read into the MIDI notes of its root, bass, third, fifth
/// and seventh, the root in the octave from middle C.
#pragma once

#include <string>

inline constexpr int kErrChordNameText = 0x2D000001;  ///< the text names no chord

/// A chord name ("Cm7", "F#dim", "Bbsus4" ...) read into the notes of the chord.
class ChordNameCtl {
public:
    /// Reads the text at once; it must end with a zero. "U" or "N" at the
    /// start (N.C.), an empty text or one that names no root: no chord, every
    /// note 0.
    explicit ChordNameCtl(char* text);
    /// The same for a text of length bytes that need not end with a zero (the
    /// data area of a marker); nothing past length is read.
    ChordNameCtl(const char* text, int length);

    /// The four steps of the reading, each from position on, advancing it.
    ///@{
    void GetRootNote();
    void GetThirdNote();
    void GetFifthNote();
    void GetSeventhNote();
    ///@}

    int ErrorMsg(int code);  ///< the text of code to the message sink; 0

    int position = 0;        ///< the next character of the text to read
    char* text = nullptr;    ///< the chord name (not owned; the bounded copy read)
    unsigned char root = 0;  ///< C 60 ... B 71, then -1 for "b" and +1 for "#"
    unsigned char bass = 0;  ///< root - 12
    /// Root + 3 (minor), + 4 (major) or + 5 (sus4).
    unsigned char third = 0;
    /// Root + 7; root + 6 when diminished.
    unsigned char fifth = 0;
    unsigned char seventh = 0;  ///< 0 for none

private:
    void Read();
    char At(int offset) const;  // the character offset on from position; 0 past the end

    std::string copy_;  // the bounded copy every step reads
    bool valid_root_ = true;
};
