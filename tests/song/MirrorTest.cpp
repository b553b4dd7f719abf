// The mirror transforms: backwards in time (notes keep lengths and
// velocities, overlaps of one pitch included, programs lead their passage),
// upside down (drums stay), and the operations that shape a song's start.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "MirrorFixture.h"

using namespace mirror_test;

namespace {

const std::string kSongInternal = "MidiF0Dataで内部エラーが発生しました。";
const std::string kGeneral = "MidiF0Dataでエラーが発生しました。";

bool IsMeta(const MidiEvent* e, int type) {
    return e->status == kEvMeta && e->number == type;
}

// Literal move of programs (channels 0..15), tempos, time and key signatures:
// per kind a none event inserted at the front, the chain of exchanges, then
// one DeleteNop.
void LiteralReverseSub(MidiTrackData& t) {
    for (int walk = 0; walk < 19; ++walk) {
        auto* none = new MidiEvent();
        none->status = kEvNone;
        t.InsertEvent(0, 2, none);
        int previous = 0;
        for (int k = 0; k < t.event_count - 1; ++k) {
            const MidiEvent* e = t.event_table[k];
            const bool match = walk < 16    ? e->channel == walk && e->status == kEvProgram
                               : walk == 16 ? IsMeta(e, kMetaTempo)
                               : walk == 17 ? IsMeta(e, kMetaTimeSignature)
                                            : IsMeta(e, kMetaKeySignature);
            if (match) {
                t.SwapEventExceptDelta(k, previous);
                previous = k;
            }
        }
    }
    t.DeleteNop();
}

MidiEvent* DefaultAtStart(int type, int value, std::vector<unsigned char> bytes) {
    MidiEvent* e = Meta(0, type);
    e->value = value;
    std::copy(bytes.begin(), bytes.end(), e->data);
    e->length = int(bytes.size());
    return e;
}

// The backwards mirror step by step, the slow way: default tempo, time and
// key signature at the start when changes come later only; the tick-0 setup
// taken out; notes paired (each note off with the earliest note on of its
// key not yet taken) by exchange; the order reversed; the deltas shifted; the
// moves of programs, tempos and signatures; the setup put back in front.
void LiteralReverse(MidiTrackData& t) {
    const std::array<int, 3> types = {kMetaTempo, kMetaTimeSignature, kMetaKeySignature};
    std::array<bool, 3> any{}, at_zero{};
    long time = 0;
    for (int k = 0; k < t.event_count; ++k) {
        time += t.event_table[k]->delta;
        for (int m = 0; m < 3; ++m) {
            if (!IsMeta(t.event_table[k], types[m])) continue;
            any[m] = true;
            at_zero[m] = at_zero[m] || time == 0;
        }
    }
    if (any[2] && !at_zero[2]) t.InsertEvent(0, 2, DefaultAtStart(kMetaKeySignature, 0, {0, 0}));
    if (any[1] && !at_zero[1])
        t.InsertEvent(0, 2, DefaultAtStart(kMetaTimeSignature, 0x0404, {4, 2, 18, 8}));
    if (any[0] && !at_zero[0])
        t.InsertEvent(0, 2, DefaultAtStart(kMetaTempo, 500000, {0x07, 0xA1, 0x20}));

    std::vector<MidiEvent*> setup, rest;
    time = 0;
    for (int k = 0; k < t.event_count; ++k) {
        MidiEvent* e = t.event_table[k];
        time += e->delta;
        const bool kept = e->status == kEvNoteOff || e->status == kEvNoteOn ||
                          e->status == kEvProgram || IsMeta(e, kMetaTempo) ||
                          IsMeta(e, kMetaTimeSignature) || IsMeta(e, kMetaKeySignature) ||
                          IsMeta(e, kMetaEndOfTrack);
        (time == 0 && !kept ? setup : rest).push_back(e);
    }
    std::copy(rest.begin(), rest.end(), t.event_table.get());
    t.event_count = int(rest.size());

    const int count = t.event_count;
    std::vector<const MidiEvent*> taken;
    for (int i = 0; i + 1 < count; ++i) {
        const MidiEvent* off = t.event_table[i];
        const bool is_off =
            off->status == kEvNoteOff || (off->status == kEvNoteOn && off->velocity == 0);
        if (!is_off) continue;
        for (int j = 0; j < i; ++j) {
            const MidiEvent* on = t.event_table[j];
            if (on->status == kEvNoteOn && on->velocity > 0 && on->channel == off->channel &&
                on->note == off->note && std::find(taken.begin(), taken.end(), on) == taken.end()) {
                taken.push_back(on);
                t.SwapEventExceptDelta(i, j);
                break;
            }
        }
    }
    for (int i = 0, j = count - 2; i < count - 1; ++i, --j) {
        if (i < j) t.SwapEventWithDelta(i, j);
    }
    for (int k = count - 2; k >= 1; --k) t.event_table[k]->delta = t.event_table[k - 1]->delta;
    t.event_table[0]->delta = 0;
    LiteralReverseSub(t);
    for (auto it = setup.rbegin(); it != setup.rend(); ++it) {
        (*it)->delta = 0;
        t.InsertEvent(0, 2, *it);
    }
}

// A random Q1 song as files hold them: tempo, time and key changes, a setup
// at tick 0 or none, programs and controllers, notes struck again before
// their release, notes of no length and notes never released.
std::unique_ptr<MidiF0Data> RandomQ1Song(std::mt19937& random) {
    std::uniform_int_distribution<int> pick(0, 11);
    std::uniform_int_distribution<int> channel(0, 3);
    std::uniform_int_distribution<int> note(60, 62);
    std::uniform_int_distribution<int> value(1, 127);
    std::vector<Ev> events;
    long tick = 0;
    if (random() % 2 == 0) {  // a setup, its parts in any order among tick-0 events
        events.push_back(Meta(0, kMetaTrackName, "song"));
        events.push_back(Tempo(0, 400000));
        events.push_back(Cc(0, 1, 7, 90));
        events.push_back(Pc(0, 1, 5));
        events.push_back(SysEx(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
    }
    for (int i = 0, n = 1 + int(random() % 40); i < n; ++i) {
        tick += (random() % 3) * 30;
        const int c = channel(random);
        switch (pick(random)) {
            case 0:
                events.push_back(Tempo(tick, 300000 + value(random) * 1000));
                break;
            case 1:
                events.push_back(TimeSign(tick, 3, 2));
                break;
            case 2:
                events.push_back(KeySign(tick, int(random() % 3)));
                break;
            case 3:
                events.push_back(Pc(tick, c, value(random)));
                break;
            case 4:
                events.push_back(Cc(tick, c, 7, value(random)));
                break;
            case 5:
                events.push_back(Off(tick, c, note(random)));
                break;
            case 6:
                events.push_back(On(tick, c, note(random), 0));
                break;  // an off
            default:
                events.push_back(On(tick, c, note(random), value(random)));
                break;
        }
    }
    events.push_back(Eot(tick + long(random() % 50)));
    return MakeSong(kFormQ1, 480, std::move(events));
}

}  // namespace

TEST(HorizontalReverse, RandomSongsAgainstTheMirrorOfTheirNotes) {
    std::mt19937 random(20240607);
    for (int round = 0; round < 300; ++round) {
        auto song = RandomSong(random, 1 + round % 60);
        Normalise(*song);
        const Notes notes = NotesOf(*song->GetTrack());
        const long lead_in = song->GetTrack()->event_table[0]->delta;

        MidiF0Data once(song.get());
        once.Q2toQ1();
        const long last = LastEventTime(*once.GetTrack());
        once.HorizontalReverse();
        once.Q1toQ2();
        ASSERT_EQ(NotesOf(*once.GetTrack()), Mirrored(notes, *once.GetTrack(), last, true, false))
            << "round " << round;

        // Twice gives the notes back, less the silence before the first event.
        once.Q2toQ1();
        once.HorizontalReverse();
        once.Q1toQ2();
        ASSERT_EQ(NotesOf(*once.GetTrack()), Shifted(notes, -lead_in)) << "round " << round;
    }
}

TEST(HorizontalReverse, MatchesTheLiteralStepsAndRefusals) {
    std::mt19937 random(4242);
    for (int round = 0; round < 400; ++round) {
        auto fast = RandomQ1Song(random);
        MidiF0Data literal(kFormQ1, 480);
        for (int k = 0; k < fast->GetTrack()->event_count; ++k)
            literal.GetTrack()->AddCopyEvent(fast->GetTrack()->event_table[k]);
        fast->HorizontalReverse();
        LiteralReverse(*literal.GetTrack());
        ASSERT_EQ(Image(*fast->GetTrack()), Image(*literal.GetTrack())) << "round " << round;
        ASSERT_EQ(fast->Q1toRaw(), 1);
        ASSERT_EQ(literal.Q1toRaw(), 1);
        ASSERT_EQ(Bytes(fast->buffer, fast->buffer + fast->size),
                  Bytes(literal.buffer, literal.buffer + literal.size));
    }
    // A refused reverse (no end of track) adds no default tempo either.
    CaptureSink sink;
    auto open = MakeSong(kFormQ1, 480, {Meta(0, kMetaText, "x"), Tempo(60, 400000)});
    const auto before = Image(*open->GetTrack());
    open->HorizontalReverse();
    open->HorizontalReverse(true);
    EXPECT_EQ(Image(*open->GetTrack()), before);
    EXPECT_EQ(sink.Count(kGeneral), 2);

    sink.Clear();
    auto q2 = MakeSong(kFormQ2, 480, {Note(0, 0, 60, 480), Eot(480)});
    q2->HorizontalReverse();
    EXPECT_EQ(sink.Count(kSongInternal), 1);

    // Only an end of track: its delta becomes 0, nothing else happens.
    sink.Clear();
    auto empty = MakeSong(kFormQ1, 480, {Eot(960)});
    empty->HorizontalReverse();
    EXPECT_TRUE(sink.Messages().empty());
    ASSERT_EQ(empty->GetTrack()->event_count, 1);
    EXPECT_EQ(empty->GetTrack()->event_table[0]->delta, 0);
}

TEST(HorizontalReverseSub, MatchesTheLiteralMove) {
    // Random songs: the same result as the sixteen insertions and exchanges.
    std::mt19937 random(77);
    std::uniform_int_distribution<int> pick(0, 5);
    std::uniform_int_distribution<int> channel(0, 15);
    for (int round = 0; round < 200; ++round) {
        std::vector<Ev> events;
        long tick = 0;
        for (int i = 0; i < 40; ++i) {
            tick += pick(random) * 10;
            const int c = channel(random);
            const int kind = pick(random);
            const int value = pick(random);
            events.push_back(kind < 3    ? Pc(tick, c, value)
                             : kind == 3 ? On(tick, c, 60 + value)
                                         : Cc(tick, c, 7, value));
        }
        events.push_back(Eot(tick + 5));
        auto fast = MakeSong(kFormQ1, 480, std::move(events));
        MidiF0Data literal(fast.get());
        fast->HorizontalReverseSub();
        LiteralReverseSub(*literal.GetTrack());
        ASSERT_EQ(Image(*fast->GetTrack()), Image(*literal.GetTrack())) << "round " << round;
    }
}

TEST(VerticalReverse, PivotsClampsDrumsHoldPedalAndStart) {
    CaptureSink sink;
    // Channel 0 spans 60..72 (pivot 60), channel 1 spans 61..62 (pivot 60),
    // channel 2 spans 5..10 (pivot 0: 10 would go below 0), channel 9 is
    // drums, channel 3 is drums by a rhythm-part message.
    auto song =
        MakeSong(kFormQ2, 480,
                 {Note(0, 0, 60, 10), Note(0, 0, 72, 10), Note(0, 1, 61, 10), Note(0, 1, 62, 10),
                  Note(0, 2, 5, 10), Note(0, 2, 10, 10), Note(0, 9, 36, 10), Note(0, 9, 80, 10),
                  Note(0, 3, 40, 10), Note(0, 3, 70, 10), Eot(100)});
    song->GetTrack()->InsertEvent(0, 2, RhythmPart(0, 3));
    song->Q2toQ1();
    song->VerticalReverse();
    song->Q1toQ2();
    std::string pitches;
    for (const NoteValue& n : NotesOf(*song->GetTrack())) {
        pitches += std::to_string(n.channel) + ":" + std::to_string(n.note) + " ";
    }
    EXPECT_EQ(pitches, "0:48 0:60 1:58 1:59 2:0 2:0 3:40 3:70 9:36 9:80 ");

    sink.Clear();
    song = MakeSong(kFormQ2, 480,
                    {Cc(0, 0, 64, 127), Note(0, 0, 60, 100), Note(0, 1, 62, 100),
                     Note(200, 0, 64, 100), Cc(480, 0, 64, 0), Note(600, 0, 60, 100), Eot(960)});
    song->HoldPedalToNote();
    // Channel 1 has no pedal; the pedal events are gone.
    EXPECT_EQ(NotesOf(*song->GetTrack()), (Notes{{0, 0, 60, 480, 100},
                                                 {0, 1, 62, 100, 100},
                                                 {200, 0, 64, 280, 100},
                                                 {600, 0, 60, 100, 100}}));
    EXPECT_EQ(song->GetTrack()->event_count, 5);
    EXPECT_TRUE(sink.Messages().empty());

    // A held note struck again ends and starts anew; a pedal never released
    // holds to the end of the song.
    auto again = MakeSong(
        kFormQ2, 480, {Cc(0, 2, 64, 100), Note(0, 2, 50, 100), Note(300, 2, 50, 100), Eot(960)});
    again->HoldPedalToNote();
    EXPECT_EQ(NotesOf(*again->GetTrack()), (Notes{{0, 2, 50, 300, 100}, {300, 2, 50, 660, 100}}));

    auto far = MakeSong(kFormQ2, 480,
                        {TimeSign(0, 4, 2), Cc(100, 0, 7, 1), Note(4000, 0, 60, 10), Eot(5000)});
    EXPECT_EQ(far->BeginImmidiately(), 3840);
    EXPECT_EQ(TimesOf(*far->GetTrack()), (std::vector<long>{0, 0, 160, 1160}));

    // In Q1 the first note on counts; without a time signature a measure is
    // 384 ticks.
    auto q1 = MakeSong(kFormQ1, 480, {On(1000, 0, 60), Off(1100, 0, 60), Eot(1200)});
    EXPECT_EQ(q1->BeginImmidiately(), 768);
    EXPECT_EQ(TimesOf(*q1->GetTrack()), (std::vector<long>{232, 332, 432}));

    auto same = MakeSong(kFormQ2, 480, {Note(10, 0, 60, 10), Eot(20)});
    same->MakeDeltaZero(15);
    EXPECT_EQ(TimesOf(*same->GetTrack()), (std::vector<long>{0, 5}));
}

TEST(VerticalReverse, RandomSongsAgainstTheirRanges) {
    std::mt19937 random(5);
    for (int round = 0; round < 100; ++round) {
        auto song = RandomSong(random, 50, 12, 6);
        Normalise(*song);
        const Notes expected =
            Mirrored(NotesOf(*song->GetTrack()), *song->GetTrack(), 0, false, true);
        song->Q2toQ1();
        song->VerticalReverse();
        song->Q1toQ2();
        ASSERT_EQ(NotesOf(*song->GetTrack()), expected) << "round " << round;
    }
}
