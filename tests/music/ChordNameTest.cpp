// Chord names read into notes: the names songs use, the literal readings kept
// ("m" is minor wherever it stands, "sus2" reads as sus4), and texts that name
// no chord or end early.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "music/ChordNameCtl.h"
#include "support/TestEvents.h"

namespace {

struct Tones {
    int root, bass, third, fifth, seventh;
    bool operator==(const Tones&) const = default;
};

Tones Of(const ChordNameCtl& chord) {
    return {chord.root, chord.bass, chord.third, chord.fifth, chord.seventh};
}

Tones Read(std::string name) {
    return Of(ChordNameCtl(name.data()));
}

}  // namespace

TEST(ChordName, NamesTheirNotesAndTextsThatNameNoChordOrEndEarly) {
    // The last three stop at the text's end, which also sets no seventh.
    const std::pair<const char*, Tones> cases[] = {
        {"Cm7", {60, 48, 63, 67, 70}},   {"F#", {66, 54, 70, 73, 0}},
        {"Bbsus4", {70, 58, 75, 77, 0}}, {"Cdim", {60, 48, 63, 66, 0}},
        {"CM7", {60, 48, 64, 67, 71}},   {"C(9)", {60, 48, 64, 67, 74}},
        {"A6", {69, 57, 73, 76, 78}},    {"Cmaj7", {60, 48, 63, 67, 0}},
        {"Csus2", {60, 48, 65, 67, 0}},  {"C+", {60, 48, 64, 67, 0}},
        {"Gaug", {67, 55, 71, 74, 0}},   {"Co7", {60, 48, 64, 67, 0}},
        {"Cs", {60, 48, 65, 67, 0}},     {"Cd", {60, 48, 63, 66, 0}},
        {"C(", {60, 48, 64, 67, 0}},
    };
    CaptureSink sink;
    for (const auto& [name, notes] : cases) EXPECT_EQ(Read(name), notes) << name;
    for (const char* none : {"", "N.C.", "Unknown"}) EXPECT_EQ(Read(none), (Tones{})) << none;
    // No root letter: reported once each, and no chord; nothing else is reported.
    for (const char* rootless : {"x7", "c"}) EXPECT_EQ(Read(rootless), (Tones{})) << rootless;
    EXPECT_EQ(sink.Messages(), Lines(2, "頼冾ｵないテキストがマーカーに入っていました。"));
    // A marker's area need not end with a zero: nothing past its length is read.
    const char area[] = {'D', 'm', '7', 'Z', 'Z'};
    const ChordNameCtl marker(area, 2);
    EXPECT_EQ(Of(marker), (Tones{62, 50, 65, 69, 0}));
    EXPECT_EQ(std::string(marker.text), "Dm");
}
