// Construction, deep copies and destruction of a track, and the track's two
// message functions with their tables.
#include "midi/track/MidiTrackData.h"

#include <array>
#include <atomic>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "General/GeneralMac.h"

namespace {

struct CodeText {
    int code;
    std::string_view text;
};

constexpr std::array<CodeText, 14> kErrorTexts = {{
    {0xD000001, "MidiTrackDataで内部エラーが発生しました。"},
    {0xD000002, "未定義のMIDIイベントです。"},
    {0xD000003, "チャネルに誤りがあります。"},
    {0xD000005, "テンポに誤りがあります。"},
    {0xD000006, "データの量が多すぎます。"},
    {0xD000007, "MIDIファイルではないか、マックバイナリがついているファイルです。"},
    {0xD000008,
     "(1)ドラムで指定されている音が35(バスドラ)～81(オープントライアングル)の範囲内にありません。"
     "範囲内に調整しました。"},
    {0xD00000C, "プログラム・チェンジで不正な番号がありました。0に調整しました。"},
    {0xD00000D, "ノートオンが重複していました。"},
    {0xD00000E, "ノートオフが重複していました。"},
    {0xD000010,
     "このアルゴリズムで、トップノートは間引かないという機狽ﾍ未実装です。(無視されます。)"},
    {0xD000013, "ドラムのバンクセレクトで０以外の値が設定されていました。"},
    {0xD000014, "ノートナンバーの異常が検出されました。"},
    {0xD000015, "MidiTrackDataでテンポデータの異常が検出されました。"},
}};
constexpr std::string_view kUnknownErrorText = "MidiTrackDataでエラーが発生しました。";

// The once flags are shared by every track of the process; the reader may
// run on another thread than an editing operation, hence atomics.
std::atomic<bool> undef_event{false};
std::atomic<bool> num_volume{false};
std::atomic<bool> num_pan{false};
std::atomic<bool> data_size{false};
std::atomic<bool> topnote{false};
std::atomic<bool> topnote_warn{false};

struct OnceText {
    int code;
    std::string_view text;
    std::atomic<bool>* flag;
};

const std::array<OnceText, 7> kOnceTexts = {{
    {0xD000002, "未定義のMIDIイベントが含まれていました。", &undef_event},
    {0xD000009, "複数のボリュームが設定されています。", &num_volume},
    {0xD00000A, "複数のパンが設定されています。", &num_pan},
    {0xD00000B, "サイズが大きすぎるイベントが含まれています。", &data_size},
    {0xD00000F, "音の間引きに失敗しました。", &topnote},
    // Volume and master volume share one flag.
    {0xD000011, "複数のマスターボリュームが設定されています。", &num_volume},
    {0xD000012, "トップノートは間引かないを指定していますが、指定をはずして間引きました。",
     &topnote_warn},
}};

std::unique_ptr<MidiEvent* []> NewEventTable() {
    // Value-initialised: every entry starts null.
    return std::make_unique<MidiEvent*[]>(kMaxEvents);
}

}  // namespace

MidiTrackData::MidiTrackData() : event_table(NewEventTable()) {}

MidiTrackData::MidiTrackData(int form) : form(form), event_table(NewEventTable()) {}

MidiTrackData::MidiTrackData(MidiTrackData* source) : event_table(NewEventTable()) {
    SetTrackData(source);
}

MidiTrackData::~MidiTrackData() {
    for (int i = 0; i < event_count; ++i) DestroyEvent(event_table[i]);
    event_count = 0;
}

void MidiTrackData::DestroyEvent(MidiEvent* event) {
    if (event == nullptr) return;
    // A long sequencer-specific area is given back before the record goes, as
    // the record's own size check expects.
    if (event->number == kMetaSequencerSpecific && event->length > MusicEvent::kDataSize - 1) {
        event->ResizeData(MusicEvent::kDataSize);
        event->length = 0;
    }
    delete event;
}

namespace {

// Copies every record of source into track's table, which must be empty.
// Returns false when memory ran out part way.
bool CopyRecords(MidiTrackData& track, const MidiTrackData& source) {
    const int count = source.event_count < kMaxEvents ? source.event_count : kMaxEvents;
    try {
        for (int i = 0; i < count; ++i) {
            track.event_table[i] = new MidiEvent(source.event_table[i]);
            track.event_count = i + 1;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

// Both copies replace whatever the track held: its own records are destroyed
// first, so nothing leaks when a track is filled twice.
void MidiTrackData::SetTrackData(MidiTrackData* source) {
    if (source == this) return;
    for (int i = 0; i < event_count; ++i) DestroyEvent(event_table[i]);
    event_count = 0;
    if (source == nullptr || source->form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    form = kFormQ2;
    if (!CopyRecords(*this, *source)) {
        GneErrorMsg(kGneErrNoMemory);
        ErrorMsg(kErrTrackTooMuchData);
    }
}

void MidiTrackData::SetQ1TrackData(MidiTrackData* source) {
    if (source == this) return;
    for (int i = 0; i < event_count; ++i) DestroyEvent(event_table[i]);
    event_count = 0;
    if (source == nullptr || source->form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    form = kFormQ1;
    if (!CopyRecords(*this, *source)) {
        GneErrorMsg(kGneErrNoMemory);
        ErrorMsg(kErrTrackTooMuchData);
    }
}

int MidiTrackData::ErrorMsg(int code) {
    std::string_view text = kUnknownErrorText;
    for (const auto& entry : kErrorTexts) {
        if (entry.code == code) text = entry.text;
    }
    GneWriteErrorMsg(std::string(text).c_str());
    return 0;
}

int MidiTrackData::ErrorMsgOnce(int code) {
    if (code == 0) {
        for (const auto& entry : kOnceTexts) entry.flag->store(false);
        return 0;
    }
    for (const auto& entry : kOnceTexts) {
        if (entry.code != code) continue;
        if (!entry.flag->exchange(true)) GneWriteErrorMsg(std::string(entry.text).c_str());
        return 0;
    }
    // Not a once message: shown every time.
    return ErrorMsg(code);
}
