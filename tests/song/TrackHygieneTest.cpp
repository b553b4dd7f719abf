// Clean-ups that must never change what is heard, checked on seeded random
// multi-channel tracks against what a receiver holds, and the clean-ups of
// unheard changes against a literal walk per kind of change; then the edge
// cases of the clean-ups, the classification and the small setters; the
// balanced merge of two tracks, program unification and bend ranges; track
// analysis and reduction against their literal forms, then their edge cases.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "midi/song/MidiF1TrackData.h"
#include "midi/song/detail/LongestRepeat.h"
#include "support/TestEvents.h"

namespace {

using F1 = MidiF1TrackData;
const std::string kF1Generic = "MidiF1TrackDataでエラーが発生しました。";

std::unique_ptr<F1> Q2(const std::vector<Ev>& events) {
    return Track<F1>(kFormQ2, events);
}

// Random Q2 track: notes, the controllers the clean-ups touch and keep,
// pedals, banks, programs and bends on `channels` channels.
std::unique_ptr<F1> RandomSoundTrack(std::mt19937& rng, int events, int channels) {
    std::uniform_int_distribution<int> pick(0, 99);
    constexpr int kControllers[] = {1, 7, 10, 11, 39, 64, 0, 32, 91, 6, 101};
    constexpr int kValues[] = {0, 64, 100, 127};
    auto track = std::make_unique<F1>(kFormQ2);
    for (int i = 0; i < events; ++i) {
        const int delta = pick(rng) < 50 ? 0 : 1 + pick(rng) % 30;
        const int ch = pick(rng) % channels;
        const int kind = pick(rng);
        track->AddEvent(
            kind < 30   ? Note(delta, ch, 60 + pick(rng) % 4, pick(rng) % 50, 1 + pick(rng))
            : kind < 80 ? Cc(delta, ch, kControllers[pick(rng) % 11], kValues[pick(rng) % 4])
            : kind < 88 ? Pc(delta, ch, pick(rng) % 3)
                        : Bend(delta, ch, 8192 + (pick(rng) % 3 - 1) * 4000));
    }
    track->AddEvent(Eot(0));
    return track;
}

// What a receiver holds, as the rule of every clean-up states it: per
// channel the controllers, bend and program at the end of each tick where a
// note sounds (a note sounds from its start to its end tick, and on while
// the hold pedal, down at its end, stays down), the bank at each program
// change and the pedal at each note end.
// Checked at the ticks of `at` (the track before it was cleaned).
std::vector<std::string> Heard(const MidiTrackData& track, const MidiTrackData& at) {
    struct Channel {
        std::map<int, int> cc;
        int bend = 8192, program = -1;
    };
    const auto ev = Events(track);
    std::set<long> ticks;
    for (const Ev& e : Events(at))
        ticks.insert(e.tick), ticks.insert(e.tick + std::max(0, e.duration));
    const auto state_at = [&](long t, int upto_tick_end) {
        std::array<Channel, 16> s{};
        for (const Ev& e : ev) {
            if (e.tick > t || (upto_tick_end == 0 && e.tick == t)) break;
            if (e.status == kEvControl) s[e.channel].cc[e.number] = e.value;
            if (e.status == kEvPitchBend) s[e.channel].bend = e.value * 128 + e.note;
            if (e.status == kEvProgram) s[e.channel].program = e.value;
        }
        return s;
    };
    const auto pedal_up_between = [&](int ch, long after, long before) {
        for (const Ev& e : ev)
            if (e.status == kEvControl && e.number == 64 && e.channel == ch && e.tick > after &&
                e.tick < before && e.value < 64)
                return true;
        return false;
    };
    std::vector<std::string> out;
    for (long t : ticks) {
        const auto s = state_at(t, 1);
        for (int ch = 0; ch < 16; ++ch) {
            bool sounds = false;
            for (const Ev& n : ev) {
                if (n.status != kEvNote || n.channel != ch || n.tick > t) continue;
                const long end = n.tick + std::max(0, n.duration);
                const auto at_end = state_at(end, 1)[ch].cc;
                const bool pedal = at_end.count(64) && at_end.at(64) >= 64;
                sounds = sounds || end >= t || (pedal && !pedal_up_between(ch, end, t + 1));
            }
            if (!sounds) continue;
            std::string line = std::to_string(t) + " c" + std::to_string(ch);
            for (auto [c, v] : s[ch].cc) line += " " + std::to_string(c) + "=" + std::to_string(v);
            out.push_back(line + " b" + std::to_string(s[ch].bend) + " p" +
                          std::to_string(s[ch].program));
        }
    }
    for (std::size_t i = 0; i < ev.size(); ++i) {
        const Ev& e = ev[i];
        const auto s = state_at(e.tick, 0);
        auto cc = s[std::min(e.channel, 15)].cc;
        for (std::size_t k = 0; k < i; ++k)  // the events before it at its tick
            if (ev[k].tick == e.tick && ev[k].status == kEvControl) cc[ev[k].number] = ev[k].value;
        if (e.status == kEvProgram)
            out.push_back("pc" + std::to_string(e.tick) + " " + std::to_string(cc[0]) + "/" +
                          std::to_string(cc[32]));
        if (e.status == kEvNote) {
            const auto at_end = state_at(e.tick + e.duration, 1)[e.channel].cc;
            out.push_back("off" + std::to_string(e.tick) + " pedal" +
                          std::to_string(at_end.count(64) ? at_end.at(64) >= 64 : 0));
        }
    }
    return out;
}

using CleanUp = std::function<void(F1&)>;
int kVolumeList[] = {7, 11, 39, 43, 10};
const std::vector<std::pair<std::string, CleanUp>> kCleanUps = {
    {"volume", [](F1& t) { t.CleanUpVolumeChange(); }},
    {"controllers", [](F1& t) { t.CleanUpDuplicateControlChangeExceptSpecifiedCmd(nullptr, 0); }},
    {"controllers-except",
     [](F1& t) { t.CleanUpDuplicateControlChangeExceptSpecifiedCmd(kVolumeList, 5); }},
    {"pan", [](F1& t) { t.CleanUpPan(); }},
    {"same-value", [](F1& t) { t.CleanUpDuplicateVolumeExpressionOfSameValue(); }},
    {"same-timing", [](F1& t) { t.CleanUpDuplicateVolumeExpressionOfSameTiming(); }},
    {"bend", [](F1& t) { t.CleanUpDuplicatePitchBend(); }},
};

// The clean-ups that drop unheard changes, as a literal walk per kind of
// change (a controller number, or -1: pitch bend), with a literal test
// whether a note sounds at event i (single channel): a change goes when the
// next of its kind comes and no note sounded since it was sent; with
// `repeats`, a change that repeats the value before it goes too.
std::set<int> LiteralRemovals(const std::vector<Ev>& ev, const std::vector<int>& kinds,
                              bool repeats) {
    const auto pedal_at_end = [&](long end) {
        int v = 0;
        for (const Ev& e : ev)
            if (e.tick <= end && e.status == kEvControl && e.number == 64) v = e.value;
        return v >= 64;
    };
    const auto sounds = [&](std::size_t i) {
        for (std::size_t j = 0; j <= i; ++j) {
            if (ev[j].status != kEvNote) continue;
            const long end = ev[j].tick + std::max(0, ev[j].duration);
            if (end >= ev[i].tick) return true;
            if (!pedal_at_end(end)) continue;
            bool up = false;
            for (std::size_t k = 0; k <= i; ++k)
                up = up || (ev[k].tick > end && ev[k].status == kEvControl && ev[k].number == 64 &&
                            ev[k].value < 64);
            if (!up) return true;
        }
        return false;
    };
    std::set<int> removed;
    for (int c : kinds) {
        int last = -1, prev = -1;
        bool used = false;
        for (std::size_t i = 0; i < ev.size(); ++i) {
            if (ev[i].status == kEvNote) used = true;
            if (c < 0 ? ev[i].status != kEvPitchBend
                      : ev[i].status != kEvControl || ev[i].number != c)
                continue;
            if (repeats && ev[i].value == last) {
                removed.insert(int(i));
                used = used || sounds(i);
                continue;
            }
            if (prev >= 0 && !used) removed.insert(prev);
            last = ev[i].value, prev = int(i), used = sounds(i);
        }
    }
    return removed;
}

// Notes of distinct numbers from `first` with volume and expression changes
// of 0..127 on channel 0.
std::unique_ptr<F1> RandomLevels(std::mt19937& rng, int first) {
    auto t = std::make_unique<F1>(kFormQ2);
    for (int i = 0; i < 20; ++i) {
        const int delta = rng() % 2 ? 0 : int(rng() % 20);
        if (rng() % 3 == 0) t->AddEvent(Cc(delta, 0, rng() % 2 ? 7 : 11, int(rng() % 128)));
        t->AddEvent(Note(rng() % 2 ? 0 : 1, 0, first + i, 5, int(1 + rng() % 127)));
    }
    t->AddEvent(Eot(0));
    return t;
}

// The volume x expression in force at the end of tick on channel 0.
long LevelAt(const MidiTrackData& t, long tick) {
    long v = 100, x = 100;
    for (const Ev& e : Events(t)) {
        if (e.tick > tick) break;
        if (e.status == kEvControl && e.number == 7) v = e.value;
        if (e.status == kEvControl && e.number == 11) x = e.value;
    }
    return v * x;
}

using retrograde::detail::RepeatFound;
using retrograde::detail::RepeatNotes;

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

TEST(TrackAnalysis, RepeatSimilarityDecorationBreakAndReductionEdges) {
    CaptureSink sink;
    int begin = -5, end = -5, again = 0;
    auto q1 = Track<F1>(kFormQ1, {On(0, 0, 60), Off(120, 0, 60), Eot(0)});
    EXPECT_EQ(q1->DetectLongestRepeat(0, &begin, &end, 120), 0);
    EXPECT_EQ(std::tie(begin, end), std::make_tuple(-5, -5));
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

    auto a = Q2({Note(0, 0, 60, 100), Note(120, 0, 62, 100, 90), Eot(0)});
    auto b = Q2({Note(0, 0, 60, 100), Note(120, 0, 62, 100, 91), Eot(0)});
    EXPECT_EQ(a->GetSimilarity(a.get(), 0), 100);
    EXPECT_EQ(a->GetSimilarity(b.get(), 1000), 50);  // velocity differs: missing
    EXPECT_EQ(Q2({Eot(0)})->GetSimilarity(a.get(), 0), 0);
    EXPECT_EQ(a->GetSimilarity(q1.get(), 0), 0);
    EXPECT_EQ(sink.Count(kF1Generic), 2);  // once each, not once a note
    // A grace note a semitone below: absorbed; other neighbours, other
    // channels and notes too far from it (counted from the grace note) stay.
    for (auto [note, channel, ccGap, gap, absorbed] : {std::tuple{59, 0, 0, 60, true},
                                                       {58, 0, 0, 60, false},
                                                       {61, 0, 0, 60, false},
                                                       {59, 1, 0, 60, false},
                                                       {59, 0, 60, 10, false}}) {
        auto t = Q2({Note(0, 0, note, 60), Cc(ccGap, 0, 7, 100), Note(gap, channel, 60, 480, 77)});
        t->DeleteDecorationNote(120);
        EXPECT_EQ(Dump(*t).size(), absorbed ? 2u : 3u) << note << " " << channel << " " << gap;
        if (absorbed) {
            EXPECT_EQ(NotesOf(*t), (Notes{{0, 0, 60, 540, 77}}));
        }
    }

    // Phrase breaks are searched in Q1 only.
    EXPECT_EQ(a->SearchBreak(0, true, 10), -1);
    EXPECT_EQ(sink.Count(kF1Generic), 3);
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

    // Reductions.
    auto chord = Q2({Note(0, 0, 60, 480), Note(0, 0, 64, 480), Note(0, 0, 67, 480),
                     Note(480, 0, 72, 240), Eot(0)});
    // (Thinning itself is held to its literal form below.)
    F1 same(chord.get());
    EXPECT_EQ(same.ReduceVoice(3), 3);
    EXPECT_EQ(Events(same), Events(*chord));
    EXPECT_EQ(same.ReduceVoice(0), 0);
    EXPECT_TRUE(sink.Saw("０ボイスには間引けません。"));

    std::vector<Ev> drums;
    for (auto [n, times] : {std::pair{36, 10}, {38, 4}, {42, 4}})
        for (int i = 0; i < times; ++i) drums.push_back(Note(10, 9, n, 10));
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
    EXPECT_EQ(Dump(*mono), (Lines{"0 N c0 n67 d240", "240 N c0 n69 d100", "720 EOT"}));

    for (auto [group, left] : {std::pair{std::vector{48, 60}, std::vector{60}},
                               {std::vector{48, 72}, std::vector{48, 72}},
                               {std::vector{72, 60, 48}, std::vector{72, 48}}}) {
        std::vector<Ev> ev;
        for (int n : group) ev.push_back(Note(0, 0, n, 100));
        auto t = Q2(ev);
        t->DeleteOctaveNote();
        EXPECT_EQ(OfNotes(*t, &MidiEvent::note), left);
    }
    auto q = Q2({Note(0, 0, 60, 480), Note(480, 0, 62, 10), Note(0, 0, 64, 10), Eot(0)});
    EXPECT_EQ(q->GetNumNote(0, 480), 1);
    EXPECT_EQ(q->GetNumPolyAttack(), 2);
    q->GetNoteOfDeltaTime(nullptr, 0);  // (which notes sound is held to its literal form above)
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
    for (int n = 127; n >= 0; --n)
        if (on[n]) return n;
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
                ASSERT_EQ(track->GetTopNoteOfDeltaTime(int(t)), LiteralTop(*track, int(t)));
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

}  // namespace

TEST(TrackHygiene, EveryCleanUpKeepsWhatIsHeardOnRandomTracks) {
    std::mt19937 rng(15);
    int removed = 0;
    for (int round = 0; round < 150; ++round) {
        const auto original = RandomSoundTrack(rng, 20 + int(rng() % 60), 1 + int(rng() % 3));
        const auto heard = Heard(*original, *original);
        for (const auto& [name, clean] : kCleanUps) {
            F1 copy(static_cast<MidiTrackData*>(original.get()));
            clean(copy);
            removed += original->event_count - copy.event_count;
            ASSERT_EQ(Heard(copy, *original), heard) << name << " round " << round;
            ASSERT_EQ(NotesOf(copy), NotesOf(*original)) << name;
        }
    }
    EXPECT_GT(removed, 500);  // the walks do remove what no one hears
}

TEST(TrackHygiene, UnheardChangeCleanUpsMatchTheLiteralWalk) {
    // Every controller but those a receiver latches or counts; with the
    // volume list left alone too; volume, pan and bends on their own.
    std::vector<int> controllers, but_volumes;
    const std::set<int> kept = {0, 6, 32, 38, 64, 65, 66, 67, 68, 69, 96, 97, 98, 99, 100, 101};
    for (int c = 0; c < 120; ++c) {
        if (kept.count(c)) continue;
        controllers.push_back(c);
        if (std::find(std::begin(kVolumeList), std::end(kVolumeList), c) == std::end(kVolumeList))
            but_volumes.push_back(c);
    }
    const std::vector<std::tuple<int, std::vector<int>, bool>> walks = {{1, controllers, true},
                                                                        {2, but_volumes, true},
                                                                        {0, {7}, false},
                                                                        {3, {10}, false},
                                                                        {6, {-1}, false}};
    std::mt19937 rng(1515);
    for (int round = 0; round < 200; ++round) {
        const auto original = RandomSoundTrack(rng, 10 + int(rng() % 50), 1);
        const auto ev = Events(*original);
        const Lines all = Dump(*original);
        for (const auto& [clean, kinds, repeats] : walks) {
            const auto removed = LiteralRemovals(ev, kinds, repeats);
            Lines expected;
            for (std::size_t i = 0; i < all.size(); ++i)
                if (!removed.count(int(i))) expected.push_back(all[i]);
            F1 copy(static_cast<MidiTrackData*>(original.get()));
            kCleanUps[clean].second(copy);
            ASSERT_EQ(Dump(copy), expected) << kCleanUps[clean].first << " round " << round;
        }
    }
}

TEST(TrackHygiene, CleanUpCasesClassificationQueriesAndNoteTouchUps) {
    // (clean-up, track, what is left), each with a what-for; one channel
    // alone, the unheard changes are held to their literal walk above.
    const std::vector<std::tuple<int, std::vector<Ev>, Lines>> cases = {
        // a note on another channel hears nothing here
        {0,
         {Note(0, 1, 60, 50), Cc(10, 0, 7, 100), Cc(10, 0, 7, 80)},
         {"0 N c1 n60 d50", "20 CC c0 #7=80"}},
        // repeated value goes at any time
        {4,
         {Cc(0, 0, 7, 100), Note(0, 0, 60, 9), Cc(10, 0, 7, 100), Cc(0, 1, 7, 100)},
         {"0 CC c0 #7=100", "0 N c0 n60 d9", "10 CC c1 #7=100"}},
        // at one tick the last counts
        {5,
         {Cc(0, 0, 7, 100), Cc(0, 0, 7, 90), Note(0, 0, 60, 9)},
         {"0 CC c0 #7=90", "0 N c0 n60 d9"}},
        // ... and goes when it repeats what was in force
        {5,
         {Cc(0, 0, 7, 90), Cc(10, 0, 7, 50), Cc(0, 0, 7, 90), Cc(0, 0, 11, 5)},
         {"0 CC c0 #7=90", "10 CC c0 #11=5"}},
    };
    for (const auto& [clean, in, left] : cases) {
        auto t = Q2(in);
        kCleanUps[clean].second(*t);
        EXPECT_EQ(Dump(*t), left) << kCleanUps[clean].first;
    }
    CaptureSink sink;
    F1 raw(kFormRaw);
    for (const auto& [name, clean] : kCleanUps) clean(raw);
    EXPECT_EQ(sink.Count(kF1Generic), int(kCleanUps.size()));

    // Classification, queries and small setters.
    const Ev tempo = Tempo(0, 500000), eot = Eot(0);
    EXPECT_TRUE(Q2({tempo, TimeSign(0, 4, 2), eot})->IsMasterTrack());
    EXPECT_FALSE(Q2({eot})->IsMasterTrack());
    EXPECT_TRUE(Q2({})->IsMasterTrack());
    EXPECT_TRUE(Q2({eot})->IsEmpty());
    EXPECT_TRUE(Q2({RhythmPart(0, 9), eot})->IsChanelSysExOnlyTrack());
    EXPECT_FALSE(Q2({GsSysEx(0, 1), eot})->IsChanelSysExOnlyTrack());
    EXPECT_TRUE(Q2({GsSysEx(0, 1), eot})->IsSysExTrack());
    EXPECT_TRUE(Q2({Pc(0, 0, 1), Pc(5, 0, 2)})->CheckMiltiProgramChange());
    int low = 1, high = 1;
    Q2({eot})->GetNoteRange(&low, &high);
    EXPECT_EQ(std::make_pair(low, high), std::make_pair(127, 0));
    Q2({eot})->GetNoteRange(nullptr, nullptr);  // guarded
    EXPECT_EQ(Q2({eot})->GetCenterNote(), 64);
    // Sums of note x duration pass 32 bits.
    EXPECT_EQ(Q2({Note(0, 0, 100, 2000000000), Note(0, 0, 50, 2000000000)})->GetCenterNote(), 75);
    auto t = Q2({Cc(0, 0, 7, 50), Tempo(0, 400000), Note(0, 0, 60, 5), Cc(10, 0, 7, 90)});
    EXPECT_EQ(t->GetNumControlChange(0, 10, 7), 1);
    EXPECT_EQ(t->GetControlChangeMaxValue(7), 90);
    sink.Clear();
    t->SetControlChangeValue(7, 128);
    t->SetEventValue(kEvMeta, 5);  // a tempo's value is not what is written
    EXPECT_EQ(t->GetEventValue(kEvMeta), 400000);
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{kF1Generic, kF1Generic}));
    t->SetMaxVolume();
    EXPECT_EQ(t->GetControlChangeMaxValue(7) + t->GetNumControlChange(7), 129);

    t = Q2({Note(0, 0, 60, 10, 64), Note(0, 0, 62, 10, 32)});
    t->SetMaxVelocity();
    EXPECT_EQ(OfNotes(*t, &MidiEvent::velocity), (std::vector<int>{127, 63}));
    for (int m = 1; m <= 127; ++m) {  // every maximum gives exactly 127
        auto one = Q2({Note(0, 0, 60, 10, m), Note(0, 0, 61, 10, 1)});
        one->SetMaxVelocity();
        ASSERT_EQ(NotesOf(*one)[0].velocity, 127) << m;
    }
    auto silent = Q2({Note(0, 0, 60, 10, 0)});
    silent->SetMaxVelocity();
    EXPECT_EQ(NotesOf(*silent)[0].velocity, 0);

    // Drums end at their next hit; a bend whose low bits equal the note is no hit.
    auto drums = Q2({Note(0, 9, 36, 100), Bend(10, 9, 36), Note(20, 9, 36, 100), Note(0, 9, 36, 5),
                     Note(0, 9, 38, 100)});
    drums->AdjustDrumDuration();
    EXPECT_EQ(Dump(*drums),
              (Lines{"0 N c9 n36 d30", "10 PB c9 36", "30 N c9 n36 d5", "30 N c9 n38 d100"}));

    auto scale = Q2({Eot(0)});
    scale->InsertDrumScale(true, 9);
    EXPECT_EQ(DataOf(*scale->event_table[0], 12),
              (Bytes{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x10, 0x15, 0x01, 0x1A, 0xF7}));
    sink.Clear();
    scale->InsertDrumScale(true, 16);
    EXPECT_EQ(scale->event_count, 2);
    EXPECT_TRUE(sink.Saw(kF1Generic));
}

TEST(TrackMerge, EachNoteKeepsVelocityTimesVolumeTimesExpression) {
    std::mt19937 rng(6);
    for (int round = 0; round < 200; ++round) {
        auto a = RandomLevels(rng, 30);
        const auto b = RandomLevels(rng, 60);
        std::map<int, std::pair<NoteValue, long>> before;  // by note number
        for (const MidiTrackData* t :
             {static_cast<MidiTrackData*>(a.get()), static_cast<MidiTrackData*>(b.get())})
            for (const NoteValue& n : NotesOf(*t)) before[n.note] = {n, LevelAt(*t, n.start)};
        a->MergeTrack(b.get(), false);
        ASSERT_EQ(NotesOf(*a).size(), before.size());
        for (const NoteValue& n : NotesOf(*a)) {
            const auto [old, level] = before.at(n.note);
            const long merged = LevelAt(*a, n.start);
            const long heard = old.velocity * level;
            if (merged == 0) {
                ASSERT_EQ(n.velocity, old.velocity);
            } else if (n.velocity == 127 || n.velocity == 1) {
                ASSERT_TRUE(heard >= 127 * merged || heard < 2 * merged) << round;
            } else {  // truncated: within one step of the merged level
                ASSERT_LE(long(n.velocity) * merged, heard) << round;
                ASSERT_GT(long(n.velocity + 1) * merged, heard) << round;
            }
        }
    }
}

TEST(TrackMerge, CasesProgramsAndBendRange) {
    const auto merged = [](std::vector<Ev> a, std::vector<Ev> b, bool title) {
        auto t = Q2(a);
        t->MergeTrack(Q2(b).get(), title);
        return Dump(*t);
    };
    EXPECT_EQ(merged({Meta(0, 3, "Piano"), Meta(0, 1, "a"), Eot(0)},
                     {Meta(0, 3, "Strings"), Meta(0, 1, "b"), Eot(0)}, true),
              (Lines{"0 META1 b", "0 META3 Piano / Strings", "0 META1 a", "0 EOT"}));
    EXPECT_EQ(merged({Eot(0)}, {Meta(0, 3, "Strings"), Eot(0)}, true),
              (Lines{"0 META3 Strings", "0 EOT"}));
    EXPECT_EQ(merged({Meta(0, 3, std::string(100, 'a'))}, {Meta(0, 3, std::string(30, 'b'))}, true),
              (Lines{"0 META3 long name", "0 EOT"}));
    // A bend range of 1 in one track: the other's bends are rescaled, and
    // clamped as the range shrinks.
    EXPECT_EQ(merged({Cc(0, 0, 101, 0), Cc(0, 0, 100, 0), Cc(0, 0, 6, 1), Bend(5, 0, 16383)},
                     {Bend(10, 0, 100), Bend(5, 0, 8292)}, false),
              (Lines{"0 CC c0 #101=0", "0 CC c0 #100=0", "0 CC c0 #6=1", "5 PB c0 16383",
                     "10 PB c0 0", "15 PB c0 8392", "15 EOT"}));
    CaptureSink sink;
    auto q1 = Track<F1>(kFormQ1, {On(0, 0, 60), Off(5, 0, 60), Eot(0)});
    q1->MergeTrack(Track<F1>(kFormQ1, {On(0, 0, 62), Off(5, 0, 62)}).get(), true);
    EXPECT_EQ(q1->event_count, 6);
    q1->MergeTrack(Q2({Eot(0)}).get(), true);  // forms differ: refused
    EXPECT_EQ(q1->event_count, 6);
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{kF1Generic}));
    sink.Clear();
    F1 big(kFormQ2);
    for (int i = 0; i < 70000; ++i) big.AddEvent(Cc(1, 0, 1, i % 2));
    F1 other(static_cast<MidiTrackData*>(&big));
    big.MergeTrack(&other, false);
    EXPECT_EQ(big.event_count, 70000);
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{kTooMuch}));

    auto bends = Q2(
        {Cc(0, 0, 101, 0), Cc(0, 0, 100, 0), Cc(0, 0, 6, 2), Bend(5, 0, 16383), Bend(5, 0, 8192)});
    bends->UnifyPitchBendSensitivity(12);
    EXPECT_EQ(Dump(*bends), (Lines{"0 CC c0 #101=0", "0 CC c0 #100=0", "0 CC c0 #6=12",
                                   "5 PB c0 9557", "10 PB c0 8192"}));
    // A track that never told its range gets it before its first bend.
    auto untold = Q2({Note(0, 0, 60, 5), Bend(5, 0, 16383)});
    untold->UnifyPitchBendSensitivity(12);
    EXPECT_EQ(Dump(*untold), (Lines{"0 N c0 n60 d5", "5 CC c0 #101=0", "5 CC c0 #100=0",
                                    "5 CC c0 #6=12", "5 PB c0 9557"}));
    auto twice = Q2(
        {Cc(0, 0, 101, 0), Cc(0, 0, 100, 0), Cc(0, 0, 101, 0), Cc(0, 0, 100, 0), Cc(0, 0, 6, 12)});
    twice->CleanUpDuplicatePitchBendSensitivity();
    EXPECT_EQ(Dump(*twice), (Lines{"0 CC c0 #101=0", "0 CC c0 #100=0", "0 CC c0 #6=12"}));

    auto programs = Q2({Pc(0, 0, 2), Note(0, 0, 60, 5)});
    programs->UnifyProgramChange(1, 2);
    EXPECT_EQ(programs->GetEventValue(kEvProgram), 2);
    programs->ExtractEventOfSpecifiedBankSelectAndProgramChange(0, 0, 2);
    EXPECT_EQ(programs->event_count, 2);
    auto plain = Q2({Note(0, 0, 60, 5), Note(5, 0, 62, 5)});
    plain->ExtractEventOfSpecifiedBankSelectAndProgramChange(0, 0, 0);
    EXPECT_EQ(plain->event_count, 2);
    // The bank select of a rewritten instrument is given back to a later
    // program change that relied on it.
    auto banks = Q2({Cc(0, 0, 0, 8), Cc(0, 0, 32, 0), Pc(0, 0, 5), Note(0, 0, 60, 5), Pc(10, 0, 7),
                     Cc(10, 0, 0, 1), Cc(0, 0, 32, 2), Pc(0, 0, 9)});
    banks->UnifyProgramChange(1, 2, 9, 8, 0, 5);
    EXPECT_EQ(Dump(*banks), (Lines{"0 CC c0 #0=1", "0 CC c0 #32=2", "0 PC c0 9", "0 N c0 n60 d5",
                                   "10 CC c0 #0=8", "10 CC c0 #32=0", "10 PC c0 7", "20 CC c0 #0=1",
                                   "20 CC c0 #32=2", "20 PC c0 9"}));

    auto rpn = Q2({Note(0, 0, 60, 5), Note(0, 0, 61, 5), Note(0, 0, 62, 5), Cc(0, 0, 101, 0),
                   Cc(0, 0, 100, 0), Cc(0, 0, 6, 7)});
    int index = 0;
    EXPECT_EQ(rpn->GetRpnDataEntry(&index, 0, 0), 7);
    EXPECT_EQ(index, 5);
    EXPECT_EQ(rpn->GetRpnDataEntry(nullptr, 0, 0), -1);
    EXPECT_EQ(rpn->InsertRpnAndDataEntry(0, 2, 0, 0, 4), 1);
    sink.Clear();
    EXPECT_EQ(rpn->InsertRpnAndDataEntry(0, 2, 0, 0, 128), 0);
    EXPECT_EQ(rpn->InsertRpnAndDataEntry(0, 1, 0, 0, 4), 0);
    rpn->UnifyPitchBendSensitivity(0);
    EXPECT_EQ(sink.Count(kF1Generic), 3);
    EXPECT_EQ(rpn->event_count, 9);
}
