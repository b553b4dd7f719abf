// Track analysis and reduction: the fast searches and one-pass rebuilds
// against their literal forms on seeded random tracks, then the edge cases.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "midi/song/MidiF1TrackData.h"
#include "midi/song/detail/LongestRepeat.h"
#include "support/TestEvents.h"

namespace {

using F1 = MidiF1TrackData;
using retrograde::detail::RepeatFound;
using retrograde::detail::RepeatNotes;
const std::string kF1Generic = "MidiF1TrackDataでエラーが発生しました。";

std::unique_ptr<F1> Q2(const std::vector<Ev>& events) {
    return Track<F1>(kFormQ2, events);
}

// Every pair of starts and every length, as the search is defined.
RepeatFound LiteralRepeat(const RepeatNotes& s) {
    const int n = int(s.note.size());
    RepeatFound best;
    for (int i = 0; i < n - 1; ++i) {
        for (int j = i + 1; j < n; ++j) {
            for (int len = 1; len <= j - i; ++len) {
                long t1 = 0, t2 = 0;
                int m = j, matches = 0;
                for (int k = i; k < i + len; ++k) {
                    if (k != i) t1 += s.delta[k];
                    if (t1 > t2) {
                        if (++m == n) break;
                        t2 += s.delta[m];
                    }
                    if (t1 == t2 && s.note[k] == s.note[m]) ++matches;
                }
                if (matches > best.matches) best = {matches, i, i + len - 1, j};
            }
        }
    }
    return best;
}

TEST(TrackAnalysis, LongestRepeatMatchesTheLiteralSearch) {
    std::mt19937 rng(14);
    for (int round = 0; round < 600; ++round) {
        RepeatNotes s;
        const int n = int(rng() % 25);
        for (int k = 0; k < n; ++k) {
            // Chords (delta 0), few pitches, and now and then a planted copy.
            if (k > 4 && rng() % 6 == 0) {
                const int from = int(rng() % (k - 1));
                for (int c = 0; c < 4 && k < n; ++c, ++k) {
                    s.delta.push_back(s.delta[from + c % (k - from)]);
                    s.note.push_back(s.note[from + c % (k - from)]);
                }
                --k;
                continue;
            }
            s.delta.push_back(rng() % 3 == 0 ? 0 : 60 * int(1 + rng() % 3));
            s.note.push_back(60 + int(rng() % 4));
        }
        const RepeatFound fast = retrograde::detail::FindLongestRepeat(s);
        const RepeatFound slow = LiteralRepeat(s);
        ASSERT_EQ(std::tie(fast.matches, fast.first, fast.last),
                  std::tie(slow.matches, slow.first, slow.last))
            << round;
        if (slow.matches > 0) {
            ASSERT_EQ(fast.again, slow.again) << round;
        }
    }
}

TEST(TrackAnalysis, LongestRepeatEdges) {
    CaptureSink sink;
    int begin = -5, end = -5, again = 0;
    auto q1 = Track<F1>(kFormQ1, {On(0, 0, 60), Off(120, 0, 60), Eot(0)});
    EXPECT_EQ(q1->DetectLongestRepeat(0, &begin, &end, 120), 0);
    EXPECT_EQ(std::tie(begin, end), std::make_tuple(-5, -5));
    EXPECT_EQ(sink.Count(kF1Generic), 1);
    // Never repeating: event 0 of the copy; no notes at all: 0 and 0.
    auto plain = Q2({Note(30, 0, 60, 100), Note(120, 0, 62, 100), Eot(0)});
    EXPECT_EQ(plain->DetectLongestRepeat(0, &begin, &end, 120), 0);
    EXPECT_EQ(std::tie(begin, end), std::make_tuple(0, 100));  // quantised to 60 ticks
    auto empty = Q2({Eot(480)});
    EXPECT_EQ(empty->DetectLongestRepeat(0, &begin, &end, 0), 0);
    EXPECT_EQ(std::tie(begin, end), std::make_tuple(0, 0));
    // A phrase played twice; a grid below one tick leaves times alone.
    auto twice = Q2({Note(0, 0, 60, 100), Note(120, 0, 64, 100), Note(120, 0, 67, 200),
                     Note(360, 0, 60, 100), Note(120, 0, 64, 100), Note(120, 0, 67, 200), Eot(0)});
    EXPECT_EQ(retrograde::detail::DetectLongestRepeatWithAgain(*twice, &begin, &end, &again, 1), 3);
    EXPECT_EQ(std::tie(begin, end, again), std::make_tuple(0, 440, 600));
}

TEST(TrackAnalysis, SimilarityAndDecorationNotes) {
    CaptureSink sink;
    auto a = Q2({Note(0, 0, 60, 100), Note(120, 0, 62, 100, 90), Eot(0)});
    auto b = Q2({Note(0, 0, 60, 100), Note(120, 0, 62, 100, 91), Eot(0)});
    auto none = Q2({Eot(0)});
    EXPECT_EQ(a->GetSimilarity(a.get(), 0), 100);
    EXPECT_EQ(a->GetSimilarity(b.get(), 1000), 50);  // velocity differs: missing
    EXPECT_EQ(none->GetSimilarity(a.get(), 0), 0);
    auto q1 = Track<F1>(kFormQ1, {On(0, 0, 60), Off(120, 0, 60), Eot(0)});
    EXPECT_EQ(a->GetSimilarity(q1.get(), 0), 0);
    EXPECT_EQ(sink.Count(kF1Generic), 1);  // once, not once a note
    // A grace note a semitone below: absorbed; other neighbours, other
    // channels and notes too far from it (counted from the grace note) stay.
    for (auto [note, channel, ccGap, gap, absorbed] : {std::tuple{59, 0, 0, 60, true},
                                                       {58, 0, 0, 60, false},
                                                       {61, 0, 0, 60, false},
                                                       {59, 1, 0, 60, false},
                                                       {59, 0, 60, 10, false}}) {
        auto t = Q2({Note(0, 0, note, 60), Cc(ccGap, 0, 7, 100), Note(gap, channel, 60, 480, 77)});
        t->DeleteDecorationNote(120);
        const auto events = Events(*t);
        if (absorbed) {
            ASSERT_EQ(events.size(), 2U);
            EXPECT_EQ(
                std::tie(events[0].note, events[0].duration, events[0].velocity, events[0].tick),
                std::make_tuple(60, 540, 77, 0L));
        } else {
            EXPECT_EQ(events.size(), 3U) << note << " " << channel << " " << gap;
        }
    }
}

TEST(TrackAnalysis, PhraseBreaks) {
    CaptureSink sink;
    auto q2 = Q2({Note(0, 0, 60, 100), Eot(0)});
    EXPECT_EQ(q2->SearchBreak(0, true, 10), -1);
    EXPECT_EQ(sink.Count(kF1Generic), 1);
    // Two phrases with a rest of 240 between them; a velocity-0 note on ends a note.
    auto t = Track<F1>(
        kFormQ1, {On(0, 0, 60), Off(120, 0, 60), On(0, 0, 62), On(120, 0, 62, 0), On(240, 0, 64),
                  Off(120, 0, 64), On(0, 0, 65), Off(120, 0, 65), Eot(0)});
    EXPECT_EQ(t->SearchBreak(0, true, 200), 3);        // the rest
    EXPECT_EQ(t->SearchBreak(0, true, 200, true), 4);  // the next phrase's first note on
    EXPECT_EQ(t->SearchBreak(6, true, 200), 7);        // inside the last phrase: its last note off
    EXPECT_EQ(t->SearchBreak(6, false, 200), 4);       // back: where the last phrase starts
    EXPECT_EQ(t->SearchBreak(6, false, 200, false), 3);  // and where the one before it ends
    // Resting with no note on ahead: the search stays at index + 1.
    auto stray = Track<F1>(
        kFormQ1, {On(0, 0, 60), Off(100, 0, 60), Cc(100, 0, 7, 1), Off(100, 0, 61), Eot(0)});
    EXPECT_EQ(stray->SearchBreakForword(1, true, 50, false), 2);
    EXPECT_EQ(t->SearchBreakForwordOld(0, 240), 4);
    EXPECT_EQ(t->SearchBreakForwordOld(0, 241), -1);  // counted from the note off
    EXPECT_EQ(t->GetDeltaTimeToNextNote(8), -1);
    EXPECT_EQ(t->GetDeltaTimeToNextNote(1), 120);
    EXPECT_EQ(t->GetDeltaTimeToPreviousNote(0), 0);
    EXPECT_EQ(t->GetDeltaTimeToPreviousNote(4), 240);
    EXPECT_EQ(t->GetDeltaTimeToPreviousEvent(4, kEvNoteOff), 360);  // T(4) - T(1)
    EXPECT_EQ(t->GetDeltaTimeToPreviousEvent(2, kEvNoteOff), 120);  // only an earlier tick counts
    EXPECT_EQ(t->GetDeltaTimeToPreviousEvent(2, kEvNoteOn), 120);
    EXPECT_EQ(t->GetDeltaTimeToPreviousEvent(0, kEvNoteOn), 0);
    EXPECT_EQ(t->GetDeltaTimeToPreviousEvent(1, kEvMeta), 120);  // none: T(index)
    EXPECT_EQ(t->SearchEventAtSameDelta(2, kEvNoteOff, true), 1);
    EXPECT_EQ(t->SearchEventAtSameDelta(1, kEvNoteOff, false), -1);
    EXPECT_EQ(t->GetClosestIndex(120), 3);
    EXPECT_EQ(t->GetLastIndex(kEvNoteOn, 0, 480), 4);
    EXPECT_EQ(t->GetLastIndex(480, 600), 6);
    EXPECT_EQ(t->GetLastEventIndex(kEvNoteOff), 7);
    for (int bad : {-1, 9, 1 << 30}) {
        EXPECT_EQ(t->SearchEventAfterIdx(bad, kEvNoteOn), -1);
        EXPECT_EQ(t->SearchEventBeforeIdx(bad, kEvNoteOn), -1);
        EXPECT_EQ(t->SearchBreakBackword(bad, false, 0, true), -1);
        EXPECT_EQ(t->GetDeltaTimeToNextNote(bad), 0);
        EXPECT_EQ(t->GetDeltaTimeToPreviousNote(bad), 0);
    }
}

// ---- voice and melody reduction ----

std::unique_ptr<F1> RandomNotes(std::mt19937& rng, int notes, int channels) {
    auto t = std::make_unique<F1>(kFormQ2);
    for (int k = 0; k < notes; ++k) {
        const int delta = rng() % 3 == 0 ? 0 : int(rng() % 120);
        t->AddEvent(Note(delta, int(rng() % channels), 55 + int(rng() % 14), 1 + int(rng() % 400),
                         1 + int(rng() % 127)));
        if (rng() % 8 == 0) t->AddEvent(Cc(0, 0, 7, 100));
    }
    t->AddEvent(Eot(int(rng() % 100)));
    return t;
}

bool Ends(const MidiEvent* e) {
    return e->status == kEvNoteOff || (e->status == kEvNoteOn && e->velocity == 0);
}

// The walk as defined: on a Q1 form, with inserts and a search per victim.
int LiteralReduceVoice(F1& t, int voices) {
    t.Q2toQ1();
    std::array<bool, 128> on{};
    std::array<int, 128> channel{}, onIndex{};
    for (int i = 0; i < t.event_count; ++i) {
        MidiEvent* e = t.event_table[i];
        if (Ends(e)) {
            on[e->note] = false;
        } else if (e->status == kEvNoteOn) {
            int seen = 0, victim = -1;
            for (int n = 127; n >= 0 && std::count(on.begin(), on.end(), true) >= voices; --n) {
                if (on[n] && ++seen == (voices == 1 ? 1 : 2)) {
                    victim = n;
                    break;
                }
            }
            if (victim >= 0) {
                for (int k = i + 1; k < t.event_count; ++k) {
                    MidiEvent* o = t.event_table[k];
                    if (Ends(o) && o->note == victim && o->channel == channel[victim]) {
                        o->status = kEvNone;
                        break;
                    }
                }
                on[victim] = false;
                // Cut where it began: no note at all.
                if (t.GetDeltaOfEventIndex(onIndex[victim]) == t.GetDeltaOfEventIndex(i)) {
                    t.event_table[onIndex[victim]]->status = kEvNone;
                } else {
                    auto* off = new MidiEvent(e->delta);
                    off->SetNoteOffEvent(channel[victim], victim);
                    e->delta = 0;
                    t.InsertEvent(i++, kInsertBefore, off);
                }
            }
            on[e->note] = true;
            channel[e->note] = e->channel;
            onIndex[e->note] = i;
        }
    }
    t.DeleteNop();
    t.Q1toQ2();
    return t.GetNumVoice();
}

// Which notes sound, from a Q1 copy.
std::array<bool, 128> LiteralSounding(const F1& t, int time) {
    F1 copy(const_cast<F1*>(&t));
    copy.DeleteNop();
    copy.Q2toQ1();
    std::array<bool, 128> on{};
    long now = 0;
    for (int k = 0; k < copy.event_count; ++k) {
        const MidiEvent* e = copy.event_table[k];
        if ((now += e->delta) > time) break;
        if (Ends(e))
            on[e->note] = false;
        else if (e->status == kEvNoteOn)
            on[e->note] = true;
    }
    return on;
}
int LiteralTop(const F1& t, int time) {
    const auto on = LiteralSounding(t, time);
    for (int n = 127; n >= 0; --n) {
        if (on[n]) return n;
    }
    return -1;
}

TEST(TrackAnalysis, ReductionsMatchTheirLiteralForms) {
    CaptureSink sink;
    std::mt19937 rng(2014);
    for (int round = 0; round < 120; ++round) {
        const int channels = 1 + round % 3;
        auto track = RandomNotes(rng, 10 + round % 40, channels);
        const int voices = 1 + round % 4;
        F1 fast(track.get()), slow(track.get());
        if (fast.GetNumVoice() > voices) {
            const int a = fast.ReduceVoice(voices);
            const int b = LiteralReduceVoice(slow, voices);
            ASSERT_EQ(Events(fast), Events(slow)) << round;
            if (b <= voices) {
                ASSERT_EQ(a, b) << round;
            }
        }
        // Which notes sound at every tick where something happens.
        long now = 0;
        for (int k = 0; k < track->event_count; ++k) {
            now += track->event_table[k]->delta;
            for (long t : {now, now + 1, now + track->event_table[k]->duration}) {
                std::array<bool, 128> flags{};
                track->GetNoteOfDeltaTime(flags.data(), int(t));
                ASSERT_EQ(flags, LiteralSounding(*track, int(t))) << round << " " << t;
            }
        }
        // Duplicates against another track and against itself.
        auto other = RandomNotes(rng, 20, 1);
        for (F1* against : {other.get(), static_cast<F1*>(nullptr)}) {
            F1 a(track.get()), b(track.get());
            F1* o = against != nullptr ? against : &b;
            a.CompareTrackAndDeleteDuplicateNote(against != nullptr ? against : &a);
            long at = 0;
            for (int i = 0; i < b.event_count; ++i) {
                MidiEvent* e = b.event_table[i];
                at += e->delta;
                if (e->status != kEvNote) continue;
                const auto theirs = LiteralSounding(*o, int(at));
                bool same = false;
                for (int n = e->note % 12; n < 128; n += 12) same = same || theirs[n];
                if (same && LiteralTop(b, int(at)) != e->note) e->status = kEvNone;
            }
            b.DeleteNop();
            ASSERT_EQ(Events(a), Events(b)) << round << (against ? " other" : " self");
        }
    }
}

TEST(TrackAnalysis, ReductionEdges) {
    CaptureSink sink;
    const auto notes = [](const F1& t) {
        std::vector<std::array<long, 3>> out;  // tick, note, duration
        for (const Ev& e : Events(t)) {
            if (e.status == kEvNote) out.push_back({e.tick, e.note, e.duration});
        }
        return out;
    };
    using N = std::vector<std::array<long, 3>>;
    auto chord = Q2({Note(0, 0, 60, 480), Note(0, 0, 64, 480), Note(0, 0, 67, 480),
                     Note(480, 0, 72, 240), Eot(0)});
    F1 one(chord.get());
    EXPECT_EQ(one.ReduceVoice(1), 1);
    EXPECT_EQ(notes(one), (N{{0, 67, 480}, {480, 72, 240}}));
    F1 same(chord.get());
    EXPECT_EQ(same.ReduceVoice(3), 3);
    EXPECT_EQ(Events(same), Events(*chord));
    EXPECT_EQ(same.ReduceVoice(0), 0);
    EXPECT_TRUE(sink.Saw("０ボイスには間引けません。"));

    std::vector<Ev> drums;
    for (auto [n, times] : {std::pair{36, 10}, {38, 4}, {42, 4}}) {
        for (int i = 0; i < times; ++i) drums.push_back(Note(10, 9, n, 10));
    }
    drums.push_back(Eot(0));
    auto kit = Q2(drums);
    kit->ReduceDrumVoiceOne();
    EXPECT_FALSE(kit->IsNoteExist(42));
    EXPECT_TRUE(kit->IsNoteExist(38));
    kit->ReduceDrumVoice(1);
    EXPECT_EQ(kit->GetNumDrumVoice(), 1);

    auto mono = Q2({Note(0, 0, 60, 480), Note(0, 0, 64, 480), Note(0, 0, 67, 480),
                    Note(240, 0, 69, 480), Note(0, 0, 69, 100), Eot(480)});
    mono->SetMonophonic();
    EXPECT_EQ(notes(*mono), (N{{0, 67, 240}, {240, 69, 100}}));

    for (auto [group, left] : {std::pair{std::vector{48, 60}, std::vector{60}},
                               {std::vector{48, 72}, std::vector{48, 72}},
                               {std::vector{72, 60, 48}, std::vector{72, 48}}}) {
        std::vector<Ev> ev;
        for (int n : group) ev.push_back(Note(0, 0, n, 100));
        auto t = Q2(ev);
        t->DeleteOctaveNote();
        std::vector<int> kept;
        for (const auto& n : notes(*t)) kept.push_back(int(n[1]));
        EXPECT_EQ(kept, left);
    }
    auto q = Q2({Note(0, 0, 60, 480), Note(480, 0, 62, 10), Note(0, 0, 64, 10), Eot(0)});
    EXPECT_EQ(q->GetNumNote(0, 480), 1);
    EXPECT_EQ(q->GetNumPolyAttack(), 2);
    EXPECT_EQ(q->GetTopNoteOfDeltaTime(480), 64);
    EXPECT_EQ(q->GetTopNoteOfDeltaTime(490), -1);  // both end there
    q->GetNoteOfDeltaTime(nullptr, 0);
}

}  // namespace
