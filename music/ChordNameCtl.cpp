// Reading chord names, one step at a time.
#include "music/ChordNameCtl.h"

#include <array>
#include <cstring>

#include "General/GneStatus.h"
#include "General/detail/ClassMessages.h"

namespace {

using retrograde::detail::MessageTable;
using retrograde::detail::MessageText;

// The texts as the library has always shown them, the garbled one included.
constexpr std::array kChordTexts = {
    MessageText{kErrChordNameText, "頼冾ｵないテキストがマーカーに入っていました。"},
};
constexpr MessageTable kChordMessages{"ChordNameCtl", kChordTexts};

// The root of each letter A to G in the octave from middle C.
constexpr std::array<int, 7> kLetterRoots = {69, 71, 60, 62, 64, 65, 67};

// Below and above these a root or third is no note of a chord name.
constexpr int kLowestChordNote = 40;
constexpr int kHighestChordNote = 120;

}  // namespace

ChordNameCtl::ChordNameCtl(char* name)
    : ChordNameCtl(name, name != nullptr ? static_cast<int>(std::strlen(name)) : 0) {}

ChordNameCtl::ChordNameCtl(const char* name, int length) {
    // Every step reads a bounded copy, so no step reads past the text's end
    // ("Cs" skips four characters, "Cd" three).
    if (name != nullptr && length > 0) copy_.assign(name, static_cast<std::size_t>(length));
    const std::size_t zero = copy_.find('\0');
    if (zero != std::string::npos) copy_.resize(zero);
    text = copy_.data();
    Read();
}

void ChordNameCtl::Read() {
    position = 0;
    if (copy_.empty() || copy_[0] == 'U' || copy_[0] == 'N') return;  // no chord
    GetRootNote();
    if (!valid_root_) {
        // A name that starts with no root letter names no chord.
        root = third = fifth = seventh = bass = 0;
        return;
    }
    GetThirdNote();
    GetFifthNote();
    GetSeventhNote();
    bass = static_cast<unsigned char>(root - 12);
}

char ChordNameCtl::At(int offset) const {
    const long at = static_cast<long>(position) + offset;
    return at >= 0 && at < static_cast<long>(copy_.size()) ? copy_[static_cast<std::size_t>(at)]
                                                           : '\0';
}

void ChordNameCtl::GetRootNote() {
    const char letter = At(0);
    if (letter < 'A' || letter > 'G') {
        valid_root_ = false;
        ErrorMsg(kErrChordNameText);
        return;
    }
    valid_root_ = true;
    int note = kLetterRoots[static_cast<std::size_t>(letter - 'A')];
    ++position;
    if (At(0) == 'b') {
        --note;
        ++position;
    } else if (At(0) == '#') {
        ++note;
        ++position;
    }
    root = static_cast<unsigned char>(note);
}

void ChordNameCtl::GetThirdNote() {
    switch (At(0)) {
        case 'm':
            third = static_cast<unsigned char>(root + 3);
            ++position;
            break;
        case 'd':  // dim: the fifth step reads the letters
            third = static_cast<unsigned char>(root + 3);
            break;
        case 's':  // sus4 (and sus2, read as sus4)
            third = static_cast<unsigned char>(root + 5);
            position += 4;
            break;
        default:  // major, also for a quality the names do not use
            third = static_cast<unsigned char>(root + 4);
            break;
    }
    if (root < kLowestChordNote || root > kHighestChordNote || third < kLowestChordNote ||
        third > kHighestChordNote) {
        ErrorMsg(kErrGeneral);
    }
}

void ChordNameCtl::GetFifthNote() {
    if (At(0) == 'd') {
        fifth = static_cast<unsigned char>(root + 6);
        position += 3;
    } else {
        fifth = static_cast<unsigned char>(root + 7);
    }
}

void ChordNameCtl::GetSeventhNote() {
    switch (At(0)) {
        case '7':
            seventh = static_cast<unsigned char>(root + 10);
            break;
        case 'M':
            seventh = static_cast<unsigned char>(root + 11);
            break;
        case '6':
            seventh = static_cast<unsigned char>(root + 9);
            break;
        case '(':
            if (At(1) == '9') seventh = static_cast<unsigned char>(root + 14);
            break;
        case '\0':
            seventh = 0;
            break;
        default:  // a character that sets no seventh leaves it as it is
            break;
    }
}

int ChordNameCtl::ErrorMsg(int code) {
    return retrograde::detail::ShowError(kChordMessages, code);
}
