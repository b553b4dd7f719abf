// The fast conversions and reordering walks against literal versions of the
// same algorithms (repeated deletion, insertion and exchange on a plain
// vector), on random tracks from a fixed seed; then what hand-made tracks
// show is refused and reported.

#include <functional>

#include "support/TestEvents.h"

namespace {

using Model = std::vector<Ev>;

// ---- the literal algorithms ----

void DeleteAll(Model& m, int status) {
    DeleteWhere(m, [status](const Ev& e) { return e.status == status; });
}

void SwapExceptDelta(Model& m, std::size_t i, std::size_t j) {
    std::swap(m[i], m[j]);
    std::swap(m[i].delta, m[j].delta);
}

void LiteralMoveNoteOffFront(Model& m) {
    for (std::size_t i = 0; i < m.size(); ++i) {
        if (m[i].status != kEvNoteOff) continue;
        for (std::ptrdiff_t j = static_cast<std::ptrdiff_t>(i) - 1; j >= 0; --j) {
            const auto ju = static_cast<std::size_t>(j);
            if (m[ju + 1].delta != 0) break;
            if (m[ju].status == kEvNoteOn) {
                SwapExceptDelta(m, i, ju);
                break;
            }
        }
    }
}

// First on with first off per channel and pitch; a note on left without a
// note off of its own ends at the next note on or off of its channel and
// pitch (taken or not), else at the last event; a Note of length 0 gets 1.
void LiteralQ1toQ2(Model& m) {
    for (Ev& e : m) {
        if (e.status == kEvNoteOn && e.velocity == 0) e.status = kEvNoteOff;
    }
    std::vector<std::int64_t> tick(m.size());
    std::int64_t t = 0;
    for (std::size_t i = 0; i < m.size(); ++i) tick[i] = t += m[i].delta;
    const auto same = [&](std::size_t i, std::size_t j) {
        return m[j].channel == m[i].channel && m[j].note == m[i].note;
    };
    std::vector<bool> taken(m.size(), false);
    for (std::size_t i = 0; i < m.size(); ++i) {
        if (m[i].status != kEvNoteOn) continue;
        std::size_t end = m.size();
        for (std::size_t j = i + 1; j < m.size() && end == m.size(); ++j) {
            if (m[j].status == kEvNoteOff && same(i, j) && !taken[j]) end = j;
        }
        if (end < m.size()) taken[end] = true;
        for (std::size_t j = i + 1; j < m.size() && end == m.size(); ++j) {
            if ((m[j].status == kEvNoteOff || m[j].status == kEvNoteOn) && same(i, j)) end = j;
        }
        if (end == m.size()) end = m.size() - 1;
        m[i].duration = static_cast<int>(tick[end] - tick[i]);
    }
    for (Ev& e : m) {
        if (e.status == kEvNoteOn) e.status = kEvNote;
        if (e.status == kEvNote && e.duration == 0) e.duration = 1;
    }
    DeleteAll(m, kEvNoteOff);
    DeleteAll(m, kEvNone);
}

void LiteralQ2toQ1(Model& m) {
    for (Ev& e : m) {
        if (e.status == kEvNote && (e.duration == 0 || e.velocity == 0)) e.status = kEvNone;
    }
    DeleteAll(m, kEvNone);
    for (std::size_t i = 0; i < m.size(); ++i) {
        if (m[i].status != kEvNote) continue;
        const int d = m[i].duration;
        m[i].status = kEvNoteOn;
        m[i].duration = 0;
        int s = 0;
        std::size_t p = m.size();
        for (std::size_t j = i + 1; j < m.size(); ++j) {
            s += m[j].delta;
            if (s >= d) {
                p = j;
                break;
            }
        }
        Ev off{0, kEvNoteOff, m[i].channel, m[i].note, 64, 0, 0, 0};
        if (p < m.size()) {
            off.delta = m[p].delta - (s - d);
            m[p].delta = s - d;
            m.insert(m.begin() + static_cast<std::ptrdiff_t>(p), off);
        } else {
            off.delta = d - s;
            m.push_back(off);
        }
    }
    const auto end = std::find_if(m.begin(), m.end(), [](const Ev& e) {
        return e.status == kEvMeta && e.number == kMetaEndOfTrack;
    });
    if (end != m.end() && end + 1 != m.end()) {
        (end + 1)->delta += end->delta;
        end->delta = 0;
        std::rotate(end, end + 1, m.end());
    }
    LiteralMoveNoteOffFront(m);
}

using Match = std::function<bool(const Ev&)>;
using Fast = std::function<void(MidiTrackData&)>;
using Slow = std::function<void(Model&)>;

// Moves each chosen event of delta 0 to the front by successive exchanges of
// neighbours; a chosen event that opens its group moves the front past it.
void LiteralGatherWalk(Model& m, const Match& match) {
    std::size_t f = 0;
    for (std::size_t i = 0; i < m.size(); ++i) {
        if (m[i].delta != 0) {
            f = match(m[i]) ? i + 1 : i;
            continue;
        }
        if (!match(m[i])) continue;
        for (std::size_t k = i; k > f; --k) SwapExceptDelta(m, k, k - 1);
        ++f;
    }
}

// ---- random tracks ----

class Random {
public:
    explicit Random(unsigned seed) : engine_(seed) {}
    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(engine_); }
    bool Chance(int percent) { return Below(100) < percent; }
    // Deltas that often coincide: many zeros, multiples of 10.
    int Delta() {
        const int roll = Below(10);
        if (roll < 5) return 0;
        if (roll < 8) return 10 * (1 + Below(4));
        return Below(200);
    }
    int Channel() { return Chance(3) ? 200 : Below(3); }  // now and then outside 0..15
    int Pitch() { return Chance(3) ? 300 : 60 + Below(3); }

private:
    std::mt19937 engine_;
};

// Up to 119 events from event(delta, kind 0..99, index), usually closed by
// an end of track.
template <class Event>
Model RandomModel(Random& r, Event event) {
    Model m;
    for (int i = 0, n = r.Below(120); i < n; ++i) {
        const int delta = r.Delta();
        m.push_back(event(delta, r.Below(100), i));
    }
    if (!r.Chance(5)) m.push_back(Eot(r.Delta()));
    return m;
}

Model RandomQ1(Random& r) {
    return RandomModel(r, [&r](int delta, int kind, int i) {
        return kind < 35   ? On(delta, r.Channel(), r.Pitch(), r.Chance(10) ? 0 : 1 + r.Below(127))
                 : kind < 70 ? Off(delta, r.Channel(), r.Pitch(), r.Below(128))
               : kind < 82 ? Tag(delta, i)
               : kind < 86 ? Tempo(delta, 400000 + i)
               : kind < 90 ? Note(delta, r.Channel(), r.Pitch(), r.Chance(50) ? 0 : r.Delta(), 90)
               : kind < 94 ? Nop(delta)
               : kind < 97
                   ? Ev{delta, r.Chance(50) ? kEvSysEx : kEvSysExEscape, kNoChannel, 0, 0, 0, 1, i}
                   : Eot(delta);
    });
}

// Note offs and ons are strays a Q2 track should not hold.
Model RandomQ2(Random& r) {
    return RandomModel(r, [&r](int delta, int kind, int i) {
        if (kind < 55) {
            const int duration = r.Chance(5) ? 0 : 10 * (1 + r.Below(r.Chance(10) ? 200 : 12));
            return Note(delta, r.Channel(), r.Pitch(), duration,
                        r.Chance(5) ? 0 : 1 + r.Below(127));
        }
        return kind < 80   ? Tag(delta, i)
               : kind < 85 ? Tempo(delta, 400000 + i)
               : kind < 90 ? Nop(delta)
               : kind < 93 ? Off(delta, r.Channel(), r.Pitch(), 5)
               : kind < 96 ? On(delta, r.Channel(), r.Pitch(), 50)
                           : Eot(delta);
    });
}

constexpr int kTracks = 1500;

}  // namespace

// Q1 -> Q2 -> Q1 -> Q2 through both pairs of implementations, and Q2 -> Q1
// from random Q2 tracks (with what a Q2 track should not hold).
TEST(TrackForms, ConversionsRoundTripsAndWalksMatchLiteralAndRefusals) {
    CaptureSink sink;
    Random q1(20240611), q2(977);
    for (int k = 0; k < kTracks; ++k) {
        Model expected = RandomQ1(q1);
        auto track = Track(kFormQ1, expected);
        for (int step = 0; step < 3; ++step) {
            step % 2 ? LiteralQ2toQ1(expected) : LiteralQ1toQ2(expected);
            step % 2 ? track->Q2toQ1() : track->Q1toQ2();
            ASSERT_EQ(track->form, step % 2 ? kFormQ1 : kFormQ2);
            ASSERT_EQ(Events(*track), expected) << "Q1 track " << k << " step " << step;
        }
        expected = RandomQ2(q2);
        track = Track(kFormQ2, expected);
        LiteralQ2toQ1(expected);
        track->Q2toQ1();
        ASSERT_EQ(track->form, kFormQ1);
        ASSERT_EQ(Events(*track), expected) << "Q2 track " << k;
    }
    Random r(4242);
    const Match control = [](const Ev& e) { return e.status == kEvControl; };
    const Match tempo = [](const Ev& e) { return e.status == kEvMeta && e.number == kMetaTempo; };
    const Match meta = [](const Ev& e) { return e.status == kEvMeta; };
    const Match exclusive = [](const Ev& e) {
        return e.status == kEvSysEx || e.status == kEvSysExEscape;
    };
    const Match command = [](const Ev& e) {
        return e.status != kEvNoteOff && e.status != kEvNoteOn &&
               !(e.status == kEvMeta && e.number == kMetaEndOfTrack);
    };
    const auto gather = [](Match match) -> Slow {
        return [match](Model& m) { LiteralGatherWalk(m, match); };
    };
    const std::vector<std::pair<Fast, Slow>> walks = {
        {[](MidiTrackData& t) { t.MoveEventFromt(kEvMeta, kMetaTempo); }, gather(tempo)},
        {[](MidiTrackData& t) { t.MoveEventFromt(kEvMeta); }, gather(meta)},
        {[](MidiTrackData& t) { t.MoveEventFromt(kEvControl); }, gather(control)},
        {[](MidiTrackData& t) { t.MoveControlChangeFront(); }, gather(control)},
        {[](MidiTrackData& t) { t.MoveSysExFront(); }, gather(exclusive)},
        {[](MidiTrackData& t) { t.MoveCommandFirst(); }, gather(command)},
        {[](MidiTrackData& t) { t.MoveNoteOffFront(); }, LiteralMoveNoteOffFront},
        {[](MidiTrackData& t) { t.OrderForWriting(); },
         [&](Model& m) {
             LiteralGatherWalk(m, command);
             LiteralGatherWalk(m, exclusive);
             LiteralMoveNoteOffFront(m);
         }},
    };
    for (int k = 0; k < kTracks; ++k) {
        const Model input = RandomQ1(r);
        for (std::size_t w = 0; w < walks.size(); ++w) {
            Model expected = input;
            walks[w].second(expected);
            auto track = Track(kFormQ1, input);
            walks[w].first(*track);
            ASSERT_EQ(Events(*track), expected) << "track " << k << " walk " << w;
        }
    }

    sink.Clear();
    auto track = Track(kFormQ2, {On(0, 0, 60), Off(480, 0, 60), Eot(0)});
    track->Q1toQ2();
    track->NoteOnVelocityZeroToNoteOff();
    EXPECT_EQ(track->form, kFormQ2);
    EXPECT_EQ(Events(*track), (EvList{On(0, 0, 60), Off(480, 0, 60), Eot(0)}));

    track = Track(kFormQ1, {On(0, 0, 60), Eot(0)});
    track->Q2toQ1();
    EXPECT_EQ(track->form, kFormQ1);
    EXPECT_EQ(Events(*track), (EvList{On(0, 0, 60), Eot(0)}));
    EXPECT_EQ(sink.Count(kInternal), 3);

    track = Track(kFormQ1, {On(0, 0, 60, 0), On(1, 0, 61, 5), Off(2, 0, 62, 0)});
    track->NoteOnVelocityZeroToNoteOff();
    EXPECT_EQ(Events(*track), (EvList{Off(0, 0, 60), On(1, 0, 61, 5), Off(2, 0, 62)}));

    // A negative length cannot be placed: that Note goes, reported.
    sink.Clear();
    track = Track(kFormQ2, {Note(0, 0, 60, -5, 100), Tag(10, 1), Eot(0)});
    track->Q2toQ1();
    EXPECT_EQ(Events(*track), (EvList{Tag(10, 1), Eot(0)}));
    EXPECT_EQ(sink.Count(kInternal), 1);
    // Note offs that would not fit the table: the track stays whole, in Q2.
    MidiTrackData full(kFormQ2);
    const int notes = kMaxEvents / 2;  // with their note offs and the end: one too many
    for (int i = 0; i < notes; ++i) full.AddNote(0, 10, 60, 100, 5);
    full.AddEndOfTrack(0);
    full.Q2toQ1();
    EXPECT_EQ(full.form, kFormQ2);
    EXPECT_EQ(full.event_count, notes + 1);
    EXPECT_EQ(full.event_table[0]->status, kEvNote);
    EXPECT_EQ(sink.Count(kTooMuch), 1);

    // A silent Note goes before counting: then it fits.
    full.event_table[0]->velocity = 0;
    full.Q2toQ1();
    EXPECT_EQ(full.form, kFormQ1);
    EXPECT_EQ(full.event_count, kMaxEvents - 1);
    EXPECT_TRUE(full.event_table[kMaxEvents - 2]->IsEndOfTrack());
    full.Q1toQ2();
    EXPECT_EQ(full.event_count, notes);
}
