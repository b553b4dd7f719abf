// Combining tracks of a format-1 song: tracks sharing a channel, a sound, a
// family of sounds or the drums become one, and the song-wide clean-ups that
// follow such merges. Every merge first moves all its tracks to the target's
// channel, then merges them in one pass (MergeTrackInTurn), then deletes them.
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "General/GeneralMac.h"
#include "General/GneHooks.h"
#include "General/GneStatus.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/DrumChannels.h"
#include "midi/song/detail/SongTracks.h"
#include "midi/track/detail/EventRecords.h"

using retrograde::detail::At;

namespace {

using retrograde::detail::DrumChannelTable;

constexpr unsigned char kBankSelect = 0;
constexpr unsigned char kBankSelectLsb = 32;
constexpr int kProgramsPerFamily = 8;
constexpr int kFamilies = 128 / kProgramsPerFamily;
// What the clean-up after a merge keeps of repeated controllers: after channel
// and drum merges also data entry and the NRPN numbers, after sound merges
// only volume, expression, their LSBs and pan.
constexpr std::array<int, 8> kKeptAfterChannelMerge{7, 11, 39, 43, 10, 6, 99, 98};
constexpr std::array<int, 5> kKeptAfterToneMerge{7, 11, 39, 43, 10};
constexpr char kReportHead[] = "問題のあるトラック ";

bool IsChannel(int channel) {
    return channel >= 0 && channel < kMidiChannels;
}

// The text of the track's first meta event of type; "" without one.
std::string FirstMetaText(MidiTrackData& track, int type) {
    for (int i = 0; i < track.event_count; ++i) {
        if (track.event_table[i]->IsMeta(type))
            return std::string(retrograde::detail::MetaText(track.event_table[i]));
    }
    return {};
}

std::string InstName(MidiTrackData& track) {
    return FirstMetaText(track, kMetaInstrument);
}

// The first bank select; a track without one plays bank 0.
int FirstBank(MidiTrackData& track) {
    return std::max(track.GetControlChange(kBankSelect), 0);
}

// The track's sound: (instrument name, bank, program).
using ToneKey = std::tuple<std::string, int, int>;

ToneKey KeyOf(MidiF1TrackData& track) {
    return {InstName(track), FirstBank(track), track.GetProgramChange()};
}

// Whether the tracks' events fit one track.
bool MergeFits(MidiF1Data& song, const std::vector<int>& list) {
    long events = 0;
    for (int t : list) events += At(song, t).event_count;
    return events <= kMaxEvents;
}

// Deletes the listed tracks in one pass; the others keep their order.
void DeleteTracks(MidiF1Data& song, std::vector<int> gone) {
    std::sort(gone.begin(), gone.end());
    gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
    int kept = 0;
    std::size_t next = 0;
    for (int t = 0; t < song.track_count; ++t) {
        auto& slot = song.tracks[static_cast<std::size_t>(t)];
        if (next < gone.size() && gone[next] == t) {
            slot.reset();
            ++next;
            continue;
        }
        if (kept != t) song.tracks[static_cast<std::size_t>(kept)] = std::move(slot);
        ++kept;
    }
    song.track_count = kept;
}

// Moves every other listed track to the target's channel (list[0]), then
// merges them into the target in list order with their names joined. The
// list must be valid and fit; the merged tracks are left for deletion.
void MergeInto(MidiF1Data& song, const std::vector<int>& list) {
    if (list.size() < 2) return;
    MidiF1TrackData& target = At(song, list[0]);
    const int channel = target.GetChanel();
    if (IsChannel(channel)) {
        for (std::size_t k = 1; k < list.size(); ++k) {
            if (At(song, list[k]).GetChanel() != channel) (void)song.ChangeChanel(list[k], channel);
        }
    }
    // MergeTrackInTurn takes the last source first: reversed, the names read
    // "target / first / second".
    std::vector<MidiTrackData*> sources;
    for (auto k = list.size() - 1; k > 0; --k) sources.push_back(&At(song, list[k]));
    target.MergeTrackInTurn(static_cast<int>(sources.size()), sources.data(), true);
}

// MergeInto, then the merged tracks deleted.
void MergeList(MidiF1Data& song, const std::vector<int>& list) {
    if (list.size() < 2) return;
    MergeInto(song, list);
    DeleteTracks(song, std::vector<int>(list.begin() + 1, list.end()));
}

// Ascending, distinct and in range.
bool IsValidList(const MidiF1Data& song, int count, const int* indices) {
    if (count < 1 || indices == nullptr) return false;
    for (int k = 0; k < count; ++k) {
        if (indices[k] < 0 || indices[k] >= song.track_count) return false;
        if (k > 0 && indices[k] <= indices[k - 1]) return false;
    }
    return true;
}

std::set<int> Programs(MidiTrackData& track) {
    std::set<int> programs;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        if (e.status == kEvProgram) programs.insert(e.value);
    }
    return programs;
}

bool SamePrograms(const std::set<int>& target, const std::set<int>& other) {
    if (target.size() > 1) return false;
    if (target.empty()) return other.empty();
    return std::all_of(other.begin(), other.end(), [&](int p) { return p == *target.begin(); });
}

// Appends text to the report when it and the terminating zero fit.
bool Append(std::string& report, const std::string& text) {
    if (report.size() + text.size() + 1 > MidiF1Data::kCombineReportSize) return false;
    report += text;
    return true;
}

void RunCleanUp(MidiF1Data& song, bool channelMerge) {
    song.CleanUpDuplicateNoteOnOff();
    song.CleanUpDuplicateProgramChange();
    if (channelMerge) {
        auto kept = kKeptAfterChannelMerge;
        song.CleanUpDuplicateControlChangeExceptSpecifiedCmd(kept.data(), int(kept.size()));
    } else {
        auto kept = kKeptAfterToneMerge;
        song.CleanUpDuplicateControlChangeExceptSpecifiedCmd(kept.data(), int(kept.size()));
    }
    song.CleanUpDuplicateVolumeExpressionOfSameTiming();
}

}  // namespace

int MidiF1Data::CombineTrack(int count, int* indices, bool cleanNotes) {
    if (form != kFormQ2 || !IsValidList(*this, count, indices)) {
        ErrorMsg(kErrF1Internal);
        return kGneFailure;
    }
    const std::vector<int> list(indices, indices + count);
    if (!MergeFits(*this, list)) {
        ErrorMsg(kErrF1Internal);
        return kGneFailure;
    }
    if (count > 1) MergeList(*this, list);
    if (cleanNotes) CleanUpDuplicateNoteOnOff();
    return kGneSuccess;
}

int MidiF1Data::CombineSameChanelTrack() {
    return CombineSameChanelTrack(nullptr);
}

int MidiF1Data::CombineSameChanelTrack(char* report) {
    if (report != nullptr) report[0] = '\0';
    if (form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return kGneFailure;
    }
    // The groups are known before anything merges: merging tracks of one
    // channel moves nobody. Ports in the order their names first appear.
    const DrumChannelTable drums(*this);
    std::vector<bool> ports;
    std::map<std::pair<bool, int>, std::vector<int>> groups;
    for (int t = 0; t < track_count; ++t) {
        const std::string name = InstName(At(*this, t));
        const bool port = GneIsSC88BPort(name.c_str()) != 0;
        if (std::find(ports.begin(), ports.end(), port) == ports.end()) ports.push_back(port);
        const int channel = At(*this, t).GetChanel();
        if (IsChannel(channel) && !drums.IsDrumTrack(At(*this, t)))
            groups[{port, channel}].push_back(t);
    }
    std::vector<std::vector<int>> merges;
    for (bool port : ports) {
        for (int c = 0; c < kMidiChannels; ++c) {
            const auto found = groups.find({port, c});
            if (found != groups.end() && found->second.size() > 1) merges.push_back(found->second);
        }
    }
    for (const auto& list : merges) {
        if (!MergeFits(*this, list)) {
            ErrorMsg(kErrF1Internal);
            return kGneFailure;
        }
    }
    std::string text;
    bool full = false;
    for (const auto& list : merges) {
        std::string line = kReportHead + std::to_string(At(*this, list[0]).GetChanel() + 1) + "Ch ";
        for (int t : list)
            line += GneFileTextToUtf8(FirstMetaText(At(*this, t), kMetaTrackName)) + " ";
        if (!full) full = !Append(text, line + "\r\n");
    }
    if (report != nullptr) std::memcpy(report, text.c_str(), text.size() + 1);
    std::vector<int> gone;
    for (const auto& list : merges) {
        MergeInto(*this, list);
        gone.insert(gone.end(), list.begin() + 1, list.end());
    }
    DeleteTracks(*this, gone);
    RunCleanUp(*this, true);
    return merges.empty() ? kGneFailure : kGneSuccess;
}

void MidiF1Data::CombineSameToneTrack() {
    CombineSameToneTrack(0, nullptr);
}

void MidiF1Data::CombineSameToneTrack(int count, int* keepChannels) {
    if (form != kFormQ2 || count < 0 || (count > 0 && keepChannels == nullptr)) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    const std::set<int> keep(keepChannels, keepChannels + count);
    CleanUpDuplicateProgramChange();
    // The keys are visited in the order name (first appearance), bank,
    // program; only those that occur. A merge moves every track of the moved
    // channel, which can change who plays drums: eligibility is asked anew
    // after each, and a key that turns up later is still visited in order.
    std::vector<std::string> names;
    auto nameRank = [&](const std::string& name) {
        auto found = std::find(names.begin(), names.end(), name);
        if (found == names.end()) found = names.insert(names.end(), name);
        return static_cast<int>(found - names.begin());
    };
    using Order = std::tuple<int, int, int>;
    struct Known {
        Order order;
        bool oneProgram;  // at most one program change, and one at all
    };
    // What a track's key and programs are stays with it until it merges.
    std::map<const MidiF1TrackData*, Known> known;
    auto knownOf = [&](int t) -> const Known& {
        MidiF1TrackData& track = At(*this, t);
        auto found = known.find(&track);
        if (found == known.end()) {
            const ToneKey key = KeyOf(track);
            const Order order{nameRank(std::get<0>(key)), std::get<1>(key), std::get<2>(key)};
            const bool one = track.GetNumProgramChange() < 2 && std::get<2>(key) >= 0;
            found = known.emplace(&track, Known{order, one}).first;
        }
        return found->second;
    };
    for (int t = 0; t < track_count; ++t) (void)knownOf(t);
    // Tracks without a channel (conductor and exclusive tracks) carry no
    // sound and are never merged into one that does.
    auto eligible = [&](const DrumChannelTable& drums, int t) {
        MidiF1TrackData& track = At(*this, t);
        const int channel = track.GetChanel();
        return IsChannel(channel) && !keep.count(channel) && !drums.IsDrumTrack(track) &&
               knownOf(t).oneProgram;
    };
    std::optional<Order> last;
    std::optional<DrumChannelTable> drums;
    for (;;) {
        if (!drums) drums.emplace(*this);
        std::optional<Order> next;
        std::vector<int> list;
        for (int t = 0; t < track_count; ++t) {
            if (!eligible(*drums, t)) continue;
            const Order order = knownOf(t).order;
            if (last && order <= *last) continue;
            if (!next || order < *next) {
                next = order;
                list.clear();
            }
            if (order == *next) list.push_back(t);
        }
        if (!next) break;
        last = next;
        if (list.size() < 2) continue;
        if (!MergeFits(*this, list)) {
            ErrorMsg(kErrF1Internal);
            continue;
        }
        known.erase(&At(*this, list[0]));
        for (std::size_t k = 1; k < list.size(); ++k) known.erase(&At(*this, list[k]));
        MergeList(*this, list);
        drums.reset();
    }
    RunCleanUp(*this, false);
    CleanUpDuplicatePitchBend();
}

int MidiF1Data::IsDrumProgramChangeSame(MidiF1TrackData* a, MidiF1TrackData* b) {
    if (a == nullptr || b == nullptr) return kGneFailure;
    return SamePrograms(Programs(*a), Programs(*b)) ? kGneSuccess : kGneFailure;
}

void MidiF1Data::CombineDrumTrack() {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    const DrumChannelTable drums(*this);
    std::vector<int> list;
    for (int t = 0; t < track_count; ++t) {
        if (drums.IsDrumTrack(At(*this, t))) list.push_back(t);
    }
    if (list.empty()) {
        ErrorMsg(kErrF1NoDrumTrack);
        return;
    }
    constexpr int kDrumChannel = 9;
    if (At(*this, list[0]).GetChanel() != kDrumChannel) {
        const auto on9 = std::find_if(list.begin() + 1, list.end(), [&](int t) {
            return At(*this, t).GetChanel() == kDrumChannel;
        });
        if (on9 != list.end()) std::iter_swap(list.begin(), on9);
    }
    if (!MergeFits(*this, list)) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    // The target's programs grow with each merge; the warning asks each
    // track against what the target holds by then.
    std::set<int> held = Programs(At(*this, list[0]));
    for (std::size_t k = 1; k < list.size(); ++k) {
        const std::set<int> own = Programs(At(*this, list[k]));
        if (!SamePrograms(held, own)) ErrorMsgOnce(kErrF1DrumCombine);
        held.insert(own.begin(), own.end());
    }
    if (list.size() > 1) {
        MidiF1TrackData* target = &At(*this, list[0]);
        MergeList(*this, list);
        // The merged drums play on the first port's channel of the target.
        target->DeleteAllMetaEvent(kMetaInstrument);
    }
    auto kept = kKeptAfterChannelMerge;
    CleanUpDuplicateNoteOnOff();
    CleanUpDuplicateControlChangeExceptSpecifiedCmd(kept.data(), int(kept.size()));
    CleanUpDuplicateVolumeExpressionOfSameTiming();
    CleanUpPan();
    CleanUpDuplicateProgramChange();
}

namespace {

// Merges the listed tracks under one program: every member loses its program
// and bank changes, the survivor gets program on its channel.
void MergeUnderProgram(MidiF1Data& song, const std::vector<int>& list, int program) {
    for (int t : list) {
        MidiF1TrackData& track = At(song, t);
        track.DeleteProgramChange();
        track.DeleteControlChange(kBankSelect, 0, INT_MAX);
        track.DeleteControlChange(kBankSelectLsb, 0, INT_MAX);
    }
    MidiF1TrackData& target = At(song, list[0]);
    MergeInto(song, list);
    target.SetProgramChange(target.GetChanel(), program);
}

// The tracks a family merge may take: with a channel, neither master nor drums.
std::vector<int> SoundTracks(MidiF1Data& song) {
    const DrumChannelTable drums(song);
    std::vector<int> list;
    for (int t = 0; t < song.track_count; ++t) {
        MidiF1TrackData& track = At(song, t);
        if (IsChannel(track.GetChanel()) && !track.IsMasterTrack() && !drums.IsDrumTrack(track))
            list.push_back(t);
    }
    return list;
}

}  // namespace

void MidiF1Data::CombineSameGroupToneTrack(int maxChannels) {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    // Each family of eight programs becomes one track, under the program of
    // its busiest member. The families do not overlap, so every merge is
    // known (and checked to fit) before the first.
    std::array<std::vector<int>, kFamilies> families;
    for (int t : SoundTracks(*this)) {
        const int program = std::clamp(At(*this, t).GetProgramChange(), 0, 127);
        families[static_cast<std::size_t>(program / kProgramsPerFamily)].push_back(t);
    }
    for (const auto& list : families) {
        if (list.size() > 1 && !MergeFits(*this, list)) {
            ErrorMsg(kErrF1Internal);
            return;
        }
    }
    auto busiest = [&](const std::vector<int>& list) {
        int best = list[0];
        for (int t : list) {
            if (At(*this, t).GetNumNoteEvent() > At(*this, best).GetNumNoteEvent()) best = t;
        }
        return std::clamp(At(*this, best).GetProgramChange(), 0, 127);
    };
    std::vector<std::pair<std::vector<int>, int>> merges;
    for (const auto& list : families) {
        if (list.size() > 1) merges.emplace_back(list, busiest(list));
    }
    std::vector<int> gone;
    for (const auto& [list, program] : merges) {
        MergeUnderProgram(*this, list, program);
        gone.insert(gone.end(), list.begin() + 1, list.end());
    }
    DeleteTracks(*this, gone);
    // Then the quietest tracks give way while too many channels are used.
    for (;;) {
        if (GetNumChanel(nullptr) <= maxChannels) break;
        std::vector<int> sound = SoundTracks(*this);
        if (sound.size() < 2) break;
        std::stable_sort(sound.begin(), sound.end(), [&](int a, int b) {
            return At(*this, a).GetNumNoteEvent() < At(*this, b).GetNumNoteEvent();
        });
        // The fewest merges into the next-fewest, which, the busier, gives the program.
        const std::vector<int> pair{sound[1], sound[0]};
        if (!MergeFits(*this, pair)) {
            ErrorMsg(kErrF1Internal);
            break;
        }
        MergeUnderProgram(*this, pair, std::clamp(At(*this, sound[1]).GetProgramChange(), 0, 127));
        DeleteTracks(*this, {sound[0]});
    }
    CleanUpDuplicateNoteOnOff();
    SetChanelOrder();
}

void MidiF1Data::ConvChanel32To16() {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    auto fits = [&] { return GetNumChanel(nullptr) <= kMidiChannels; };
    if (!fits()) {
        CombineDrumTrack();
        if (!fits()) CombineSameToneTrack();
        if (!fits()) CombineSameGroupToneTrack(kMidiChannels);
    }
    if (fits()) SetChanelOrder();
}

int MidiF1Data::GetInstNameList(char (*names)[256]) {
    if (names == nullptr) return 0;
    std::vector<std::string> seen;
    for (int t = 0; t < track_count && t < kMaxTracks; ++t) {
        std::string name = InstName(At(*this, t)).substr(0, kInstNameSize - 1);
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
        std::memcpy(names[seen.size()], name.c_str(), name.size() + 1);
        seen.push_back(std::move(name));
    }
    return static_cast<int>(seen.size());
}

// ---- the song-wide clean-ups: each track's of the same name ----

void MidiF1Data::CleanUpDuplicateNoteOnOff() {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    for (int t = 0; t < track_count; ++t) (void)At(*this, t).CleanUpDuplicateNoteOnOff(false);
}

namespace {

bool IsQ1OrQ2(const MidiF1Data& song) {
    return song.form == kFormQ1 || song.form == kFormQ2;
}

}  // namespace

void MidiF1Data::CleanUpDuplicateProgramChange() {
    if (!IsQ1OrQ2(*this)) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    for (int t = 0; t < track_count; ++t) At(*this, t).CleanUpDuplicateProgramChange();
}

void MidiF1Data::CleanUpDuplicateBankSelectAndProgramChange() {
    if (!IsQ1OrQ2(*this)) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    for (int t = 0; t < track_count; ++t) At(*this, t).CleanUpDuplicateBankSelectAndProgramChange();
}

void MidiF1Data::CleanUpDuplicateControlChangeExceptSpecifiedCmd(int* controllers, int count) {
    if (!IsQ1OrQ2(*this) || count < 0 || (count > 0 && controllers == nullptr)) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    for (int t = 0; t < track_count; ++t)
        At(*this, t).CleanUpDuplicateControlChangeExceptSpecifiedCmd(controllers, count);
}

void MidiF1Data::CleanUpDuplicateVolumeExpressionOfSameTiming() {
    if (!IsQ1OrQ2(*this)) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    for (int t = 0; t < track_count; ++t)
        At(*this, t).CleanUpDuplicateVolumeExpressionOfSameTiming();
}

void MidiF1Data::CleanUpDuplicatePitchBend() {
    for (int t = 0; t < track_count; ++t) At(*this, t).CleanUpDuplicatePitchBend();
}

void MidiF1Data::CleanUpPan() {
    for (int t = 0; t < track_count; ++t) At(*this, t).CleanUpPan();
}
