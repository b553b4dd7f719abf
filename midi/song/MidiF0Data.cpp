// The format-0 song: construction from files, images, other songs and tracks;
// the header; the conversions between Raw, Q1 and Q2; merging tracks into it.
#include "midi/song/MidiF0Data.h"

#include <array>
#include <atomic>
#include <cstring>

#include "General/GeneralMac.h"
#include "General/detail/ClassMessages.h"
#include "midi/song/detail/SmfImage.h"
#include "midi/song/detail/SmfReader.h"
#include "midi/track/detail/NotePairing.h"

namespace {

// Once flag of ErrorMsgOnce: the misplaced time signature is reported once
// per song.
std::atomic<bool> time_sign{false};

}  // namespace

MidiF0Data::MidiF0Data() : MidiF0Data(kFormQ2) {}

MidiF0Data::MidiF0Data(int form) {
    ErrorMsgOnce(kErrClearOnce);
    track = std::make_unique<MidiTrackData>(form);
    this->form = form;
}

MidiF0Data::MidiF0Data(int form, long division) : MidiF0Data(form) {
    this->division = static_cast<int>(division);
}

MidiF0Data::MidiF0Data(const char* name) {
    ErrorMsgOnce(kErrClearOnce);
    LoadByName(name, true);
}

MidiF0Data::MidiF0Data(const unsigned char* bytes, long size) {
    ErrorMsgOnce(kErrClearOnce);
    LoadImage(bytes, size, true);
}

MidiF0Data::MidiF0Data(MidiF0Data* other) {
    ErrorMsgOnce(kErrClearOnce);
    if (other == nullptr) {
        track = std::make_unique<MidiTrackData>(kFormQ2);
        form = kFormQ2;
        return;
    }
    division = other->division;
    form = other->form;
    fixed_time_sign = other->fixed_time_sign;
    if (other->track == nullptr) {  // Raw: the file bytes are the song
        std::memcpy(buffer, other->buffer, static_cast<std::size_t>(other->size));
        size = other->size;
        return;
    }
    if (other->track->form == kFormQ1) {
        // Copies are deep in every form, so a song being played or mirrored
        // (Q1) can be copied as well.
        track = std::make_unique<MidiTrackData>();
        track->SetQ1TrackData(other->track.get());
    } else {
        track = std::make_unique<MidiTrackData>(other->track.get());
    }
}

MidiF0Data::MidiF0Data(MidiF0Data* other, int from, int to) {
    ErrorMsgOnce(kErrClearOnce);
    if (other == nullptr || other->track == nullptr) {
        track = std::make_unique<MidiTrackData>(kFormQ2);
        form = kFormQ2;
        if (other != nullptr) division = other->division;
        return;
    }
    division = other->division;
    form = other->form;
    fixed_time_sign = other->fixed_time_sign;
    track = std::make_unique<MidiTrackData>(other->track.get(), from, to);
}

MidiF0Data::MidiF0Data(MidiTrackData* source, int division) {
    ErrorMsgOnce(kErrClearOnce);
    this->division = division;
    form = kFormQ2;
    if (source == nullptr) {
        track = std::make_unique<MidiTrackData>(kFormQ2);
    } else {
        track = std::make_unique<MidiTrackData>(source);
    }
}

MidiF0Data::~MidiF0Data() {
    play_data.reset();
    track.reset();
}

void MidiF0Data::LoadByName(const char* name, bool allowFallback) {
    // A file that cannot be read has been reported by the platform already;
    // reading it again as the other format would only say so twice.
    if (name == nullptr || !MidiData::LoadFile(name) || size <= 0) {
        track = std::make_unique<MidiTrackData>(kFormQ2);
        form = kFormQ2;
        return;
    }
    ReadBuffer(false, allowFallback);
}

void MidiF0Data::LoadImage(const unsigned char* bytes, long length, bool report) {
    // Images up to the size of the largest file read are taken (an empty
    // image is refused silently, as the header check refuses an empty file).
    if (bytes == nullptr || length <= 0 || length > kGneMaxFileSize || !Reserve(length)) {
        track = std::make_unique<MidiTrackData>(kFormQ2);
        form = kFormQ2;
        if (length > 0) track->ErrorMsg(kErrTrackTooMuchData);
        return;
    }
    std::memcpy(buffer, bytes, static_cast<std::size_t>(length));
    size = static_cast<int>(length);
    position = 0;
    form = kFormRaw;
    ReadBuffer(report, false);
}

bool MidiF0Data::ReadBuffer(bool report, bool allowFallback) {
    form = kFormRaw;
    position = 0;
    if (GetHeaderInfo(report)) {
        // The notes are paired while the chunk is read, and the track goes
        // on to form Q2 at once; the empty track that stands for a chunk
        // not read is converted here.
        retrograde::detail::NotePairing pairing;
        const bool read = ReadTrackChunk(&pairing);
        if (form == kFormQ1) Q1toQ2();
        return read;
    }
    track = std::make_unique<MidiTrackData>(kFormQ2);
    form = kFormQ2;
    return allowFallback && MergeFormat1Image();
}

bool MidiF0Data::MergeFormat1Image() {
    // Not a format-0 file: read as a format-1 file, with the words of that
    // reading, and never back as format 0.
    if (size <= 0) return false;
    const auto header = retrograde::detail::ParseHeader(buffer, size);
    const auto fault = retrograde::detail::CheckHeader(header, 1);
    if (fault != retrograde::detail::HeaderFault::None) {
        GneWriteErrorMsg(retrograde::detail::HeaderFaultText(fault, 1));
    }
    if (fault != retrograde::detail::HeaderFault::None &&
        fault != retrograde::detail::HeaderFault::TooManyTracks) {
        return false;
    }
    const int count = fault == retrograde::detail::HeaderFault::None ? header->track_count
                                                                     : kSmfTracksReadOnError;
    retrograde::detail::NotePairing pairing;
    auto read = retrograde::detail::ReadTracks<MidiTrackData>(buffer, size, header->first_chunk,
                                                              count, &pairing);
    if (read.missing) GneWriteErrorMsg(retrograde::detail::kTextF1Track);
    damage = read.damage;
    if (read.tracks.empty()) return false;
    std::vector<MidiTrackData*> sources;
    for (auto& read_track : read.tracks) sources.push_back(read_track.get());
    // The tracks are thrown away next: their records move into this track.
    division = header->division;
    track->MergeTrackMoving(static_cast<int>(sources.size()), sources.data());
    track->form = kFormQ2;
    form = kFormQ2;
    return true;
}

int MidiF0Data::GetHeaderInfo() {
    return GetHeaderInfo(true);
}

int MidiF0Data::GetHeaderInfo(bool report) {
    if (size <= 0) return 0;
    long length = size;
    retrograde::detail::LocateHeader(buffer, &length);
    size = static_cast<int>(length);
    const auto header = retrograde::detail::ParseHeader(buffer, size);
    switch (retrograde::detail::CheckHeader(header, 0)) {
        case retrograde::detail::HeaderFault::None:
            break;
        case retrograde::detail::HeaderFault::NotMidi:
            if (report) ErrorMsg(kErrF0NotMidi);
            return 0;
        case retrograde::detail::HeaderFault::WrongFormat:
            if (report) ErrorMsg(kErrF0NotFormat0);
            return 0;
        case retrograde::detail::HeaderFault::TrackCount:
        case retrograde::detail::HeaderFault::TooManyTracks:
            if (report) ErrorMsg(kErrF0TrackCount);
            return 0;
    }
    division = header->division;
    position = static_cast<int>(header->first_chunk);
    return 1;
}

void MidiF0Data::SetHeaderInfo() {
    static constexpr unsigned char kHead[10] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0};
    std::memcpy(buffer, kHead, sizeof kHead);
    buffer[10] = 0;
    buffer[11] = 1;
    buffer[12] = static_cast<unsigned char>((division >> 8) & 0xFF);
    buffer[13] = static_cast<unsigned char>(division & 0xFF);
}

void MidiF0Data::SetQ1() {
    ReadTrackChunk(nullptr);
}

bool MidiF0Data::ReadTrackChunk(retrograde::detail::NotePairing* pairing) {
    if (form != kFormRaw) {
        ErrorMsg(kErrF0Internal);
        return false;
    }
    form = kFormQ1;
    auto read = retrograde::detail::ReadTracks<MidiTrackData>(buffer, size, position, 1, pairing);
    position = static_cast<int>(read.end);
    damage = read.damage;
    if (read.tracks.empty()) {
        // The header promised a track that is not there, or the reader
        // refused the chunk and has said why.
        track = std::make_unique<MidiTrackData>(kFormQ1);
        if (read.missing) track->ErrorMsg(kErrTrackNotMidi);
        return false;
    }
    track = std::move(read.tracks.front());
    if (pairing != nullptr) form = kFormQ2;
    return true;
}

void MidiF0Data::Q1toQ2() {
    if (form != kFormQ1 || track == nullptr) {
        ErrorMsg(kErrF0Internal);
        return;
    }
    track->Q1toQ2();
    form = kFormQ2;
}

void MidiF0Data::Q2toQ1() {
    if (form != kFormQ2 || track == nullptr) {
        ErrorMsg(kErrF0Internal);
        return;
    }
    track->Q2toQ1();
    // A track whose note offs would not fit its table stays in Q2 (it has
    // said so): the song keeps that form with it.
    if (track->form == kFormQ1) form = kFormQ1;
}

int MidiF0Data::Q1toRaw() {
    // Writing a song of another form would lose it: refuse instead.
    if (form != kFormQ1 || track == nullptr) {
        ErrorMsg(kErrF0Internal);
        return 0;
    }
    // Among events at one time, the order in which they are written.
    track->OrderForWriting();
    if (!track->Q1toRaw()) return 0;  // the track writer has said why
    // The image may be as large as the chunk needs.
    if (!Reserve(static_cast<long long>(kSmfHeaderSize) + track->size)) {
        // Keep the song as it was (the writer leaves the events in place).
        track->form = kFormQ1;
        track->ErrorMsg(kErrTrackTooMuchData);
        return 0;
    }
    SetHeaderInfo();
    std::memcpy(buffer + kSmfHeaderSize, track->buffer, static_cast<std::size_t>(track->size));
    size = kSmfHeaderSize + track->size;
    position = 0;
    track.reset();
    form = kFormRaw;
    return 1;
}

int MidiF0Data::ChangeDivision(int newDivision) {
    return ChangeDivision(newDivision, false);
}

int MidiF0Data::ChangeDivision(int newDivision, bool flag) {
    // Times cannot be rescaled from or to a division of 0.
    if (track == nullptr || division <= 0 || newDivision <= 0) {
        ErrorMsg(kErrF0Internal);
        return 0;
    }
    const int result = track->ChangeDivision(division, newDivision, flag);
    division = newDivision;
    return result;
}

void MidiF0Data::AddTrack(MidiTrackData* other) {
    AddTrack(other, true);
}

void MidiF0Data::AddTrackWithoutTrackTitle(MidiTrackData* other) {
    AddTrack(other, false);
}

void MidiF0Data::AddTrack(MidiTrackData* other, bool withTitle) {
    if (track == nullptr || other == nullptr) {
        ErrorMsg(kErrF0Internal);
        return;
    }
    track->MergeTrackOwnFirst(other, withTitle);
    // The merge may have doubled notes that sound in both tracks.
    track->CleanUpDuplicateNoteOnOff(true);
}

void MidiF0Data::Connect(MidiF0Data* other) {
    if (track == nullptr || other == nullptr || other->track == nullptr) {
        ErrorMsg(kErrF0Internal);
        return;
    }
    track->Connect(other->track.get());
}

void MidiF0Data::DeleteChanelData(int channel) {
    if (track == nullptr) {
        ErrorMsg(kErrF0Internal);
        return;
    }
    for (int i = 0; i < track->event_count; ++i) {
        if (track->event_table[i]->channel == channel) track->event_table[i]->status = kEvNone;
    }
    track->DeleteNop();
}

namespace {

using retrograde::detail::MessageText;
using retrograde::detail::OnceText;

constexpr std::array kF0Texts = {
    MessageText{kErrF0NotFormat0, retrograde::detail::kTextF0NotFormat0},
    MessageText{kErrF0OpenFile, "ファイルが開けませんでした。"},
    MessageText{kErrF0TrackCount, retrograde::detail::kTextF0TrackCount},
    MessageText{kErrF0NotMidi, retrograde::detail::kTextF0NotMidi},
    MessageText{kErrF0Internal, "MidiF0Dataで内部エラーが発生しました。"},
};
constexpr std::array kF0OnceTexts = {
    OnceText{kErrF0TimeSign, "拍子記号の位置が異常です。", &time_sign},
};
constexpr retrograde::detail::MessageTable kF0Messages{"MidiF0Data", kF0Texts, kF0OnceTexts};

}  // namespace

int MidiF0Data::ErrorMsg(int code) {
    return ShowError(kF0Messages, code);
}

int MidiF0Data::ErrorMsgOnce(int code) {
    return ShowErrorOnce(kF0Messages, code);
}
