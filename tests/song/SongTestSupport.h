// Helpers of the song, loader and format tests: a small file, a comparable
// view of a track, random tracks, and literal versions of the merges as the
// oracle of the fast ones.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"
#include "midi/track/MidiTrackData.h"
#include "support/TestEvents.h"

namespace song_test {

// A small format-0 file in the writer's own encoding (at one tick: other
// events, then note offs, then note ons): tempo and title at 0, notes on
// channels 0 and 9, a program change at 480.
inline Bytes SmallFormat0() {
    return Concat(
        {HeaderChunk(0, 1, 480),
         TrackChunk(Concat({smf::Text(0, 3, "Song"), smf::Tempo(0, 500000), smf::Program(0, 0, 5),
                            smf::On(0, 0, 60), smf::On(0, 9, 36), smf::Off(240, 9, 36),
                            smf::Program(240, 0, 7), smf::Off(0, 0, 60), smf::On(0, 0, 64),
                            smf::Off(480, 0, 64), smf::Eot(0)}))});
}

// ---- tracks and a comparable view of them ----

struct Ev {
    long long tick = 0;  // absolute
    int status = 0;
    int channel = kNoChannel;
    int note = 0;
    int duration = 0;
    int velocity = 0;
    int number = 0;
    int value = 0;
    std::string text;  // meta texts
    bool operator==(const Ev&) const = default;
};

inline void PrintTo(const Ev& e, std::ostream* os) {
    *os << "{t" << e.tick << " st" << std::hex << e.status << std::dec << " ch" << e.channel << " n"
        << e.note << " dur" << e.duration << " num" << e.number << " val" << e.value << " '"
        << e.text << "'}";
}

inline bool IsText(const MidiEvent* e) {
    return e->status == kEvMeta && ((e->number >= 1 && e->number <= 7) || e->number == 0x7F);
}

inline std::vector<Ev> View(const MidiTrackData* track) {
    std::vector<Ev> out;
    long long tick = 0;
    for (int i = 0; i < track->event_count; ++i) {
        const MidiEvent* e = track->event_table[i];
        tick += e->delta;
        Ev v{tick,        e->status, e->channel, e->note, e->duration,
             e->velocity, e->number, e->value,   ""};
        if (IsText(e)) v.text.assign(reinterpret_cast<const char*>(e->data), e->length);
        out.push_back(v);
    }
    return out;
}

// An exclusive message (without a length byte) for channel ch.
inline MidiEvent* GsSysEx(int delta, int ch) {
    return SysEx(delta, {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}, 0, ch);
}

// A random Q2 track: notes, controllers, titles, texts and exclusive
// messages, many at one tick; usually closed by an end of track.
inline std::unique_ptr<MidiTrackData> RandomTrack(std::mt19937& rng, int events, int channel) {
    std::uniform_int_distribution<int> pick(0, 99);
    auto track = std::make_unique<MidiTrackData>(kFormQ2);
    for (int i = 0; i < events; ++i) {
        const int delta = pick(rng) < 45 ? 0 : 1 + pick(rng) % 40;
        const int kind = pick(rng);
        MidiEvent* e = nullptr;
        if (kind < 55) {
            e = Note(delta, channel, 30 + pick(rng) % 60, 1 + pick(rng) % 100);
        } else if (kind < 75) {
            e = Cc(delta, pick(rng) < 90 ? channel : pick(rng) % 16, pick(rng) % 120, pick(rng));
        } else if (kind < 83) {
            e = Meta(delta, kMetaTrackName, std::string(pick(rng) % 70, char('a' + kind % 26)));
        } else if (kind < 90) {
            e = Meta(delta, kMetaText, "text" + std::to_string(i));
        } else if (kind < 95) {
            e = GsSysEx(delta, pick(rng) < 50 ? kNoChannel : channel);
        } else {
            e = Eot(delta);  // an end of track in the middle
        }
        track->AddEvent(e);
    }
    if (pick(rng) < 85) track->AddEvent(Eot(pick(rng) % 30));
    return track;
}

// ---- literal merges: the oracle of the fast ones ----

struct OEv {
    int delta;
    Ev ev;  // tick unused
};
using OList = std::vector<OEv>;

inline OList OListOf(const MidiTrackData* track) {
    OList out;
    for (const Ev& v : View(track)) out.push_back({0, v});
    long long last = 0;
    for (auto& o : out) {
        o.delta = int(o.ev.tick - last);
        last = o.ev.tick;
        o.ev.tick = 0;
    }
    return out;
}

inline std::vector<Ev> Absolute(const OList& list) {
    std::vector<Ev> out;
    long long tick = 0;
    for (const auto& o : list) {
        tick += o.delta;
        Ev v = o.ev;
        v.tick = tick;
        out.push_back(v);
    }
    return out;
}

inline bool IsEnd(const Ev& e) {
    return e.status == kEvMeta && e.number == kMetaEndOfTrack;
}

inline void DeleteAt(OList& list, std::size_t i) {
    if (i + 1 < list.size()) list[i + 1].delta += list[i].delta;
    list.erase(list.begin() + long(i));
}

inline void DeleteDuplicateEnd(OList& list) {
    for (std::size_t i = 0; i + 1 < list.size();) {
        if (IsEnd(list[i].ev)) {
            DeleteAt(list, i);
        } else {
            ++i;
        }
    }
    if (list.empty() || !IsEnd(list.back().ev)) {
        Ev end;
        end.status = kEvMeta;
        end.number = kMetaEndOfTrack;
        list.push_back({0, end});
    }
}

// The n-way merge step by step: one event per copy and pass.
inline OList LiteralMergeN(std::vector<OList> copies) {
    OList out;
    std::vector<std::size_t> next(copies.size(), 0);
    for (;;) {
        std::vector<std::size_t> left;
        for (std::size_t c = 0; c < copies.size(); ++c) {
            if (next[c] < copies[c].size()) left.push_back(c);
        }
        if (left.empty()) break;
        if (left.size() == 1) {
            out.push_back(copies[left[0]][next[left[0]]++]);
            continue;
        }
        int d = copies[left[0]][next[left[0]]].delta;
        for (auto c : left) d = std::min(d, copies[c][next[c]].delta);
        bool first = true;
        for (auto c : left) {
            OEv& e = copies[c][next[c]];
            if (e.delta == d) {
                out.push_back({first ? d : 0, e.ev});
                first = false;
                ++next[c];
            } else {
                e.delta -= d;
            }
        }
    }
    DeleteDuplicateEnd(out);
    return out;
}

inline int LiteralChannel(const OList& list) {
    for (const auto& o : list) {
        if (o.ev.channel != kNoChannel && o.ev.status != kEvSysEx && o.ev.status != kEvSysExEscape)
            return o.ev.channel;
    }
    return kNoChannel;
}

inline std::string LiteralFirstTitle(const OList& list) {
    for (const auto& o : list) {
        if (o.ev.status == kEvMeta && o.ev.number == kMetaTrackName) return o.ev.text;
    }
    return "";
}

inline void DeleteTitles(OList& list) {
    for (std::size_t i = 0; i < list.size();) {
        if (list[i].ev.status == kEvMeta && list[i].ev.number == kMetaTrackName) {
            DeleteAt(list, i);
        } else {
            ++i;
        }
    }
}

// The two-way merge of b into a, step by step; on equal times b comes first.
inline OList LiteralMerge2(OList a, OList b, bool withTitle) {
    if (withTitle) {
        const std::string ta = LiteralFirstTitle(a), tb = LiteralFirstTitle(b);
        std::string joined = ta.empty() ? tb : tb.empty() ? ta : ta + " / " + tb;
        DeleteTitles(a);
        DeleteTitles(b);
        if (joined.size() > 127) joined = "long name";
        Ev title;
        title.status = kEvMeta;
        title.number = kMetaTrackName;
        title.text = joined;
        a.insert(a.begin(), {0, title});
    } else if (LiteralChannel(b) != kNoChannel) {
        DeleteTitles(b);
    }
    OList out;
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].delta < b[j].delta) {
            b[j].delta -= a[i].delta;
            out.push_back(a[i++]);
        } else {
            a[i].delta -= b[j].delta;
            out.push_back(b[j++]);
        }
    }
    while (i < a.size()) out.push_back(a[i++]);
    while (j < b.size()) out.push_back(b[j++]);
    DeleteDuplicateEnd(out);
    return out;
}

}  // namespace song_test
