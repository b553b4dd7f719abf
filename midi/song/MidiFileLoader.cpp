// The file loader: a file picked in the open panel or given by name becomes a
// format-1 song, and on request one format-0 song.
#include "midi/song/MidiFileLoader.h"

#include <array>
#include <cstring>
#include <string>

#include "General/GeneralMac.h"
#include "General/detail/ClassMessages.h"

char file_name[kLoaderNameSize] = "TEST.TEST";

namespace {

void CopyName(char* to, const char* from) {
    std::strncpy(to, from, kLoaderNameSize - 1);
    to[kLoaderNameSize - 1] = 0;
}

}  // namespace

MidiFileLoader::MidiFileLoader() {
    if (GneGetLoadFileName("mid", "SMF files|*.mid|", file_name)) MidiFileLoaderSub(file_name);
}

MidiFileLoader::MidiFileLoader(const char* nameOrPattern) {
    if (nameOrPattern == nullptr) return;
    if (std::strchr(nameOrPattern, '*') == nullptr) {
        MidiFileLoaderSub(nameOrPattern);
        return;
    }
    try {
        const std::string filter = std::string("指定種別のSMFファイル|") + nameOrPattern + "|";
        char chosen[kLoaderNameSize] = {};
        if (GneGetLoadFileName("mid", filter.c_str(), chosen)) MidiFileLoaderSub(chosen);
    } catch (const std::bad_alloc&) {
        GneErrorMsg(kGneErrNoMemory);
    }
}

MidiFileLoader::~MidiFileLoader() = default;

void MidiFileLoader::MidiFileLoaderSub(const char* path) {
    try {
        CopyName(name, path);
        midi_f1_data.reset();
        midi_f0_data.reset();
        data.reset();
        size = 0;
        damage = MidiDamage{};

        const long fileSize = GneGetFileSize(path);
        if (fileSize > kGneMaxFileSize) {
            ErrorMsg(kErrGeneral);
            return;
        }
        if (fileSize <= 0) {
            // A missing file has been reported by the platform; an empty one
            // is no MIDI file.
            if (GneIsFileExistWithoutMsg(path)) ErrorMsg(kErrLoaderNotMidi);
            return;
        }
        size = static_cast<int>(fileSize);
        // Not cleared first: the read fills it whole or fails.
        data = std::make_unique_for_overwrite<unsigned char[]>(static_cast<std::size_t>(size));
        if (!GneLoadFile(path, data.get(), static_cast<long>(size))) {
            data.reset();
            size = 0;
            return;
        }

        format = file_format = MidiGetFormat(data.get(), size);
        if (format == 0) {
            auto song = std::make_unique<MidiF0Data>(path);
            // A file that claims format 0 but could not be read as any song
            // leaves nothing to play (its messages have been shown); a song
            // that was read holds at least its end of track.
            if (song->track == nullptr || song->track->event_count == 0) {
                size = 0;
                return;
            }
            damage = song->damage;
            midi_f1_data = std::make_unique<MidiF1Data>(0);
            // The format-0 song is discarded: its records move into the tracks.
            midi_f1_data->FromMidiF0DataMoving(song.get());
            format = 1;
        } else if (format == 1) {
            midi_f1_data = std::make_unique<MidiF1Data>(path);
            damage = midi_f1_data->damage;
            if (midi_f1_data->track_count == 0) {  // the header was rejected
                midi_f1_data.reset();
                size = 0;
            }
        } else {
            ErrorMsg(kErrLoaderNotMidi);
            size = 0;
        }
    } catch (const std::exception&) {
        GneErrorMsg(kGneErrNoMemory);
        midi_f1_data.reset();
        midi_f0_data.reset();
        size = 0;
    }
}

void MidiFileLoader::SetMidiF0Data() {
    SetMidiF0Data(true);
}

void MidiFileLoader::SetMidiF0DataWithoutTrackTitle() {
    SetMidiF0Data(false);
}

void MidiFileLoader::SetMidiF0Data(bool withTitle) {
    if (midi_f1_data == nullptr || midi_f1_data->form != kFormQ2) {
        ErrorMsg(kErrLoaderInternal);
        return;
    }
    try {
        auto song = std::make_unique<MidiF0Data>(kFormQ2);
        song->division = midi_f1_data->division;
        // The tracks merged into the song's one track in turn, from the last
        // to the first, as two-way merges would; the format-1 song is
        // discarded afterwards, so its records are moved, not copied.
        std::array<MidiTrackData*, kMaxTracks> tracks{};
        for (int i = 0; i < midi_f1_data->track_count; ++i) {
            tracks[static_cast<std::size_t>(i)] = midi_f1_data->GetTrack(i);
        }
        song->track->MergeTrackInTurn(midi_f1_data->track_count, tracks.data(), withTitle);
        song->damage = damage;
        midi_f0_data = std::move(song);
        midi_f1_data.reset();
    } catch (const std::exception&) {
        GneErrorMsg(kGneErrNoMemory);
    }
}

void MidiFileLoader::SetMidiF1Data() {
    if (midi_f0_data == nullptr || midi_f0_data->form != kFormQ2) {
        ErrorMsg(kErrLoaderInternal);
        return;
    }
    try {
        auto song = std::make_unique<MidiF1Data>(0);
        song->FromMidiF0DataMoving(midi_f0_data.get());
        song->damage = damage;
        midi_f1_data = std::move(song);
        midi_f0_data.reset();
    } catch (const std::exception&) {
        GneErrorMsg(kGneErrNoMemory);
    }
}

namespace {

using retrograde::detail::MessageText;

constexpr std::array kLoaderTexts = {
    MessageText{kErrLoaderInternal, "MidiFileLoaderで内部エラーが発生しました。"},
    MessageText{kErrLoaderNotMidi, "Midiファイルではありません。"},
};
constexpr retrograde::detail::MessageTable kLoaderMessages{"MidiFileLoader", kLoaderTexts};

}  // namespace

int MidiFileLoader::ErrorMsg(int code) {
    return ShowError(kLoaderMessages, code);
}
