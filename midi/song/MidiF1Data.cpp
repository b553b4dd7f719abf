// The format-1 song: construction, header, forms and saving, and the
// conversions from a format-0 song (17 tracks) and back into one.
#include "midi/song/MidiF1Data.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include "General/GeneralMac.h"
#include "General/detail/ClassMessages.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/detail/SmfImage.h"
#include "midi/song/detail/SmfReader.h"
#include "midi/track/detail/NotePairing.h"

namespace {

// Whether MidiTrackData::Q2toQ1 can take the Q2 track: the events it keeps
// (it drops none events and Notes without length or velocity) and a note off
// for every Note must fit the table.
bool FitsQ1(const MidiTrackData& track) {
    if (track.event_count <= kMaxEvents / 2) return true;
    long long events = 0;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        if (e.status == kEvNone) continue;
        if (e.status != kEvNote) {
            ++events;
        } else if (e.duration > 0 && e.velocity != 0) {
            events += 2;
        }
    }
    return events <= kMaxEvents;
}

// Once flags of ErrorMsgOnce.
std::atomic<bool> time_sign{false};
std::atomic<bool> drum_tone{false};
std::atomic<bool> drum_combine{false};
std::atomic<bool> track_combine{false};

// A deep copy in the track's own form (Q1 or Q2).
std::unique_ptr<MidiF1TrackData> CopyTrack(MidiTrackData* source) {
    return std::make_unique<MidiF1TrackData>(source);
}

}  // namespace

MidiF1Data::MidiF1Data() {
    ErrorMsgOnce(kErrClearOnce);
    MidiData::LoadFile();
    // The panel's choice has no other reading to fall back to.
    if (GetHeaderInfo()) {
        SetQ1();
        Q1toQ2();
    }
}

MidiF1Data::MidiF1Data(const char* name) {
    ErrorMsgOnce(kErrClearOnce);
    // A file that cannot be read has been reported by the platform already.
    if (name == nullptr || !MidiData::LoadFile(name) || size <= 0) return;
    ReadBuffer();
}

MidiF1Data::MidiF1Data(const unsigned char* bytes, long length) {
    ErrorMsgOnce(kErrClearOnce);
    LoadImage(bytes, length);
    if (form == kFormRaw && GetHeaderInfo()) {
        SetQ1();
        Q1toQ2();
    }
}

MidiF1Data::MidiF1Data(long length, const unsigned char* bytes) : MidiF1Data(bytes, length) {}

MidiF1Data::MidiF1Data(MidiF0Data* song) {
    ErrorMsgOnce(kErrClearOnce);
    FromMidiF0Data(song);
}

MidiF1Data::MidiF1Data(MidiF1Data* other) {
    ErrorMsgOnce(kErrClearOnce);
    if (other == nullptr) return;
    division = other->division;
    form = other->form;
    fixed_time_sign = other->fixed_time_sign;
    for (int i = 0; i < other->track_count; ++i) AddTrack(CopyTrack(other->GetTrack(i)).release());
}

MidiF1Data::MidiF1Data(MidiF1Data* other, int from, int to) {
    ErrorMsgOnce(kErrClearOnce);
    if (other == nullptr) return;
    division = other->division;
    if (other->form != kFormQ1) {
        ErrorMsg(kErrGeneral);
        return;
    }
    for (int i = 0; i < other->track_count; ++i) {
        AddTrack(std::make_unique<MidiF1TrackData>(other->GetTrack(i), from, to).release());
    }
    form = kFormQ1;
}

MidiF1Data::MidiF1Data(MidiTrackData** sources, int count, int division) {
    ErrorMsgOnce(kErrClearOnce);
    this->division = division;
    form = kFormQ2;
    if (sources == nullptr) return;
    for (int i = 0; i < count; ++i) {
        if (sources[i] == nullptr) continue;
        if (!AddTrack(CopyTrack(sources[i]).release())) break;
    }
}

MidiF1Data::MidiF1Data(int division) {
    ErrorMsgOnce(kErrClearOnce);
    this->division = division;
    form = kFormQ2;
}

MidiF1Data::~MidiF1Data() {
    ClearData();
}

void MidiF1Data::LoadImage(const unsigned char* bytes, long length) {
    // Images up to the size of the largest file read are taken (an empty
    // image is refused silently, as the header check refuses an empty file).
    if (bytes == nullptr || length <= 0 || length > kGneMaxFileSize || !Reserve(length)) {
        if (length > 0) MidiTrackData().ErrorMsg(kErrTrackTooMuchData);
        form = kFormQ2;
        return;
    }
    std::memcpy(buffer, bytes, static_cast<std::size_t>(length));
    size = static_cast<int>(length);
    position = 0;
    form = kFormRaw;
}

void MidiF1Data::ReadBuffer() {
    form = kFormRaw;
    position = 0;
    long length = size;
    retrograde::detail::LocateHeader(buffer, &length);
    size = static_cast<int>(length);
    const auto header = retrograde::detail::ParseHeader(buffer, size);
    if (header && header->format == 0) {
        // A format-0 file is read as one, with that reading's words (the
        // format-1 check would only say "not format 1"), and split.
        form = kFormQ2;
        retrograde::detail::NotePairing pairing;
        auto read = retrograde::detail::ReadSmf<MidiTrackData>(buffer, size, 0, &pairing);
        if (!read.Accepted()) {
            GneWriteErrorMsg(retrograde::detail::HeaderFaultText(read.fault, 0));
            return;
        }
        if (read.body.missing) MidiTrackData().ErrorMsg(kErrTrackNotMidi);
        damage = read.body.damage;
        if (read.body.tracks.empty()) return;
        MidiTrackData* track = read.body.tracks.front().get();
        // The track is thrown away next: its records move into the tracks.
        SplitTrack(track, header->division, true);
        return;
    }
    if (GetHeaderInfo()) {
        // The notes of each track are paired while it is read, and the
        // track goes on to form Q2 at once.
        retrograde::detail::NotePairing pairing;
        SetQ1(&pairing);
    } else {
        form = kFormQ2;
    }
}

void MidiF1Data::ClearData() {
    for (auto& track : tracks) track.reset();
    track_count = 0;
}

int MidiF1Data::AddTrack(MidiF1TrackData* track) {
    std::unique_ptr<MidiF1TrackData> owned(track);
    if (owned == nullptr) return 0;
    if (track_count >= kMaxTracks) {
        ErrorMsg(kErrF1Track);
        return 0;
    }
    tracks[static_cast<std::size_t>(track_count++)] = std::move(owned);
    return 1;
}

int MidiF1Data::AddTrack() {
    try {
        return AddTrack(std::make_unique<MidiF1TrackData>().release());
    } catch (const std::bad_alloc&) {
        GneErrorMsg(kGneErrNoMemory);
        return 0;
    }
}

int MidiF1Data::InsertTrack(MidiF1TrackData* track, int index) {
    std::unique_ptr<MidiF1TrackData> owned(track);
    if (owned == nullptr) return 0;
    if (track_count >= kMaxTracks) {
        ErrorMsg(kErrF1Track);
        return 0;
    }
    index = std::clamp(index, 0, track_count);
    for (int i = track_count; i > index; --i) {
        tracks[static_cast<std::size_t>(i)] = std::move(tracks[static_cast<std::size_t>(i - 1)]);
    }
    tracks[static_cast<std::size_t>(index)] = std::move(owned);
    ++track_count;
    return 1;
}

int MidiF1Data::GetHeaderInfo() {
    if (size <= 0) return 0;
    long length = size;
    retrograde::detail::LocateHeader(buffer, &length);
    size = static_cast<int>(length);
    const auto header = retrograde::detail::ParseHeader(buffer, size);
    int count = header ? header->track_count : 0;
    switch (retrograde::detail::CheckHeader(header, 1)) {
        case retrograde::detail::HeaderFault::None:
            break;
        case retrograde::detail::HeaderFault::NotMidi:
            ErrorMsg(kErrF1NotMidi);
            return 0;
        case retrograde::detail::HeaderFault::WrongFormat:
            ErrorMsg(kErrF1NotFormat1);
            return 0;
        case retrograde::detail::HeaderFault::TrackCount:
            ErrorMsg(kErrF1Track);
            return 0;
        case retrograde::detail::HeaderFault::TooManyTracks:
            ErrorMsg(kErrF1Track);
            count = kSmfTracksReadOnError;
            break;
    }
    header_tracks_ = count;
    division = header->division;
    position = static_cast<int>(header->first_chunk);
    return 1;
}

void MidiF1Data::SetHeaderInfo() {
    static constexpr unsigned char kHead[10] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    std::memcpy(buffer, kHead, sizeof kHead);
    buffer[10] = static_cast<unsigned char>((track_count >> 8) & 0xFF);
    buffer[11] = static_cast<unsigned char>(track_count & 0xFF);
    buffer[12] = static_cast<unsigned char>((division >> 8) & 0xFF);
    buffer[13] = static_cast<unsigned char>(division & 0xFF);
    size = kSmfHeaderSize;
    position = kSmfHeaderSize;
}

void MidiF1Data::SetQ1() {
    SetQ1(nullptr);
}

void MidiF1Data::SetQ1(retrograde::detail::NotePairing* pairing) {
    if (form != kFormRaw) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    ClearData();
    auto read = retrograde::detail::ReadTracks<MidiF1TrackData>(buffer, size, position,
                                                                header_tracks_, pairing);
    position = static_cast<int>(read.end);
    damage = read.damage;
    // Beyond the tracks read on a header's error, the rest are lost too.
    if (const auto header = retrograde::detail::ParseHeader(buffer, size)) {
        damage.announced = std::max(damage.announced, header->track_count);
    }
    for (auto& track : read.tracks) {
        if (!AddTrack(track.release())) break;
    }
    // The header announced more tracks than the file holds.
    if (read.missing) ErrorMsg(kErrF1Track);
    form = pairing != nullptr ? kFormQ2 : kFormQ1;
}

void MidiF1Data::Q1toQ2() {
    if (form != kFormQ1) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    for (int i = 0; i < track_count; ++i) tracks[static_cast<std::size_t>(i)]->Q1toQ2();
    form = kFormQ2;
}

void MidiF1Data::Q2toQ1() {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    // All tracks or none: a track whose note offs would not fit its table
    // says so, and the whole song stays in Q2.
    for (int i = 0; i < track_count; ++i) {
        MidiF1TrackData& track = *tracks[static_cast<std::size_t>(i)];
        if (!FitsQ1(track)) {
            track.MidiTrackData::ErrorMsg(kErrTrackTooMuchData);
            return;
        }
    }
    for (int i = 0; i < track_count; ++i) tracks[static_cast<std::size_t>(i)]->Q2toQ1();
    form = kFormQ1;
}

int MidiF1Data::Q1toRaw() {
    if (form != kFormQ1) {
        ErrorMsg(kErrF1Internal);
        return 0;
    }
    // Every track is written first; only when the whole file fits the
    // buffer are the tracks given up. The writer leaves the events in place,
    // so a refused song goes back to Q1 unchanged.
    auto restore = [this](int written) {
        for (int i = 0; i < written; ++i) tracks[static_cast<std::size_t>(i)]->form = kFormQ1;
    };
    long total = kSmfHeaderSize;
    for (int i = 0; i < track_count; ++i) {
        MidiF1TrackData* track = tracks[static_cast<std::size_t>(i)].get();
        if (!track->Q1toRaw()) {  // the track writer has said why
            restore(i);
            return 0;
        }
        total += track->size;
    }
    // The image may be as large as the tracks need.
    if (!Reserve(total)) {
        restore(track_count);
        MidiTrackData().ErrorMsg(kErrTrackTooMuchData);
        return 0;
    }
    SetHeaderInfo();
    for (int i = 0; i < track_count; ++i) {
        const MidiF1TrackData* track = tracks[static_cast<std::size_t>(i)].get();
        std::memcpy(buffer + size, track->buffer, static_cast<std::size_t>(track->size));
        size += track->size;
    }
    header_tracks_ = track_count;
    ClearData();
    position = 0;
    form = kFormRaw;
    return 1;
}

void MidiF1Data::FromMidiF0Data(MidiF0Data* song) {
    if (song == nullptr || song->form != kFormQ2 || song->track == nullptr) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    SplitTrack(song->track.get(), song->division, false);
    damage = song->damage;
}

void MidiF1Data::FromMidiF0DataMoving(MidiF0Data* song) {
    if (song == nullptr || song->form != kFormQ2 || song->track == nullptr) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    SplitTrack(song->track.get(), song->division, true);
    damage = song->damage;
}

void MidiF1Data::SplitTrack(MidiTrackData* source, int songDivision, bool move) {
    ClearData();
    division = songDivision;
    form = kFormQ2;
    for (int i = 0; i < kF1TracksFromF0; ++i) AddTrack(new MidiF1TrackData(kFormQ2));

    // Track 0 takes the meta events, track 1 + c the events of channel c,
    // track 1 whatever has neither. Each track carries its own deltas: the
    // time since its previous event, kept as the absolute tick of that event.
    std::array<long long, kF1TracksFromF0> last{};
    long long now = 0;
    for (int i = 0; i < source->event_count; ++i) {
        MidiEvent* event = source->event_table[i];
        now += event->delta;
        if (event->IsEndOfTrack()) {
            for (int t = 0; t < kF1TracksFromF0; ++t) {
                tracks[static_cast<std::size_t>(t)]->AddEndOfTrack(
                    static_cast<int>(now - last[static_cast<std::size_t>(t)]));
            }
            last.fill(now);
            continue;
        }
        int target = 1;
        if (event->status == kEvMeta) {
            target = 0;
        } else if (event->channel >= 0 && event->channel < 16) {
            target = 1 + event->channel;
        }
        MidiF1TrackData* track = tracks[static_cast<std::size_t>(target)].get();
        const int delta = static_cast<int>(now - last[static_cast<std::size_t>(target)]);
        if (move) {
            event->delta = delta;
            track->AddEvent(event);
            source->event_table[i] = nullptr;
        } else {
            auto copy = std::make_unique<MidiEvent>();
            copy->Copy(event);
            copy->delta = delta;
            track->AddEvent(copy.release());
        }
        last[static_cast<std::size_t>(target)] = now;
    }
    // A song without its end of track still gives complete tracks.
    for (int t = 0; t < kF1TracksFromF0; ++t) {
        tracks[static_cast<std::size_t>(t)]->AddEndOfTrack(
            static_cast<int>(now - last[static_cast<std::size_t>(t)]));
    }
    if (move) {
        // The records now belong to the tracks; the end-of-track records
        // that stayed behind go with the emptied song track.
        int kept = 0;
        for (int i = 0; i < source->event_count; ++i) {
            if (source->event_table[i] != nullptr) {
                source->event_table[kept++] = source->event_table[i];
            }
        }
        source->event_count = kept;
        source->DeleteAllEvent();
    }
}

void MidiF1Data::SetMidiF0Data(MidiF0Data* song) {
    MergeIntoSong(song, false);
}

void MidiF1Data::SetMidiF0DataMoving(MidiF0Data* song) {
    MergeIntoSong(song, true);
}

// Every track merged into the one track of song (Q2); moving hands the records
// over instead of copying them, for a format-1 song that is thrown away next.
void MidiF1Data::MergeIntoSong(MidiF0Data* song, bool move) {
    if (form != kFormQ2 || song == nullptr) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    song->division = division;
    if (song->track == nullptr) song->track = std::make_unique<MidiTrackData>(kFormQ2);
    std::array<MidiTrackData*, kMaxTracks> sources{};
    for (int i = 0; i < track_count; ++i) sources[static_cast<std::size_t>(i)] = GetTrack(i);
    if (move) {
        song->track->MergeTrackMoving(track_count, sources.data());
    } else {
        song->track->MergeTrack(track_count, sources.data());
    }
    song->track->form = kFormQ2;
    song->form = kFormQ2;
}

void MidiF1Data::SetMidiF0DataWithoutTrackTitle(MidiF0Data* song) {
    if (form != kFormQ2 || song == nullptr) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    song->division = division;
    if (song->track == nullptr) song->track = std::make_unique<MidiTrackData>(kFormQ2);
    for (int i = 0; i < track_count; ++i) {
        MidiF1TrackData* track = GetTrack(i);
        if (track->GetChanel() != kNoChannel) {
            song->AddTrackWithoutTrackTitle(track);
        } else {
            song->AddTrack(track);
        }
    }
    song->track->DeleteDuplicateEndOfTrack();
}

void MidiF1Data::ReplaceData(MidiF0Data* song) {
    if (song == nullptr || song->form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    MidiF1Data split(song);
    division = split.division;
    form = split.form;
    ClearData();
    // The split song is discarded: its tracks change hands instead of being copied.
    for (int i = 0; i < split.track_count; ++i) {
        tracks[static_cast<std::size_t>(i)] = std::move(split.tracks[static_cast<std::size_t>(i)]);
    }
    track_count = split.track_count;
    split.track_count = 0;
}

int MidiF1Data::SaveFile(const char* name) {
    switch (form) {
        case kFormQ2: {
            Q2toQ1();
            const int result = SaveFile(name);
            Q1toQ2();
            return result;
        }
        case kFormQ1: {
            if (!Q1toRaw()) return 0;
            const int result = MusicData::SaveFile(name);
            position = kSmfHeaderSize;
            SetQ1();  // the tracks are read back from the bytes just written
            return result;
        }
        case kFormRaw:
            return MusicData::SaveFile(name);
        default:
            ErrorMsg(kErrF1Internal);
            return 0;
    }
}

int MidiF1Data::SaveFile() {
    if (form != kFormRaw) ErrorMsg(kErrF1Internal);
    return MusicData::SaveFile("mid", "SMF files|*.mid");
}

namespace {

using retrograde::detail::MessageText;
using retrograde::detail::OnceText;

constexpr std::array kF1Texts = {
    MessageText{kErrF1Track, retrograde::detail::kTextF1Track},
    MessageText{kErrF1NotFormat1, retrograde::detail::kTextF1NotFormat1},
    MessageText{kErrF1Internal, "MidiF1Dataで内部エラーが発生しました。"},
    MessageText{kErrF1NotMidi, retrograde::detail::kTextF1NotMidi},
    MessageText{kErrF1OpenFile, "ファイルを開けませんでした。"},
    MessageText{kErrF1MasterVolume, "マスターボリュームが複数設定されています。"},
    MessageText{kErrF1DrumProgram,
                "ドラムにプログラムチェンジが設定されています。(または、CH10以外をドラムとして"
                "使用するシステムエクスクルーシブが設定されています。)"},
    MessageText{kErrF1TimeSignUnknown, "扱えない拍子記号が含まれていました。"},
    MessageText{kErrF1TooManyTempo, "設定されているテンポの数が多すぎます。"},
    MessageText{kErrF1SysExTracks, "複数のSysExTrackがあります。"},
    MessageText{kErrF1SystemChannel, "システムチャネルが重複しています"},
    MessageText{kErrF1Channel, "チャネルが重複しています"},
    MessageText{kErrF1NoFreeChannel,
                "複数プログラムチェンジのトラックを分割しようとしましたが、使用できるチャネルが"
                "ありませんでした。"},
    MessageText{kErrF1NoDrumTrack, "ドラムトラックがありませんでした。"},
};
constexpr std::array kF1OnceTexts = {
    OnceText{kErrF1TimeSign, "拍子記号の位置が異常です。", &time_sign},
    // Once per process: a new song does not bring it back.
    OnceText{kErrF1DrumTone,
             "ドラムからトーンにマッピングしようとしましたが、マッピングのための"
             "あきチャネルがありませんでした。",
             &drum_tone, true},
    OnceText{kErrF1DrumCombine, "異なるプログラムチェンジのドラムトラックを結合しようとしました。",
             &drum_combine},
    OnceText{kErrF1TrackCombine, "複数のプログラムチェンジのトラックを結合しようとしました。",
             &track_combine},
};
constexpr retrograde::detail::MessageTable kF1Messages{"MidiF1Data", kF1Texts, kF1OnceTexts};

}  // namespace

int MidiF1Data::ErrorMsg(int code) {
    return ShowError(kF1Messages, code);
}

int MidiF1Data::ErrorMsgOnce(int code) {
    return ShowErrorOnce(kF1Messages, code);
}
