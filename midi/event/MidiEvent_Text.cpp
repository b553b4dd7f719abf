// The one-line description of an event shown in lists and dumps.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "General/GeneralMac.h"
#include "midi/event/MidiEvent.h"

namespace {

struct Named {
    int number;
    std::string_view text;
};

constexpr std::string_view kUndefinedController = "未定義のコントロールチェンジ";

constexpr std::array<Named, 19> kControllerNames = {{
    {0, "バンクセレクトMSB "},
    {1, "モジュレーション "},
    {6, "データエントリーMSB "},
    {7, "チャネルボリュームMSB "},
    {10, "パン "},
    {11, "エクスプレッションMSB "},
    {32, "バンクセレクトLSB "},
    {38, "データエントリーLSB "},
    {39, "チャネルボリュームLSB "},
    {43, "エクスプレッションLSB "},
    {55, "チャネルリザーブ "},
    {64, "ホールド "},
    {91, "リバーブセンド "},
    {93, "コーラスセンド "},
    {94, "セレステ・デプス "},
    {98, "NRPN LSB "},
    {99, "NRPN MSB "},
    {100, "RPN LSB "},
    {101, "RPN MSB "},
}};

// The meta types whose data is a text, shown after their name.
constexpr std::array<Named, 7> kTextMetaNames = {{
    {kMetaText, "テキスト　"},
    {kMetaCopyright, "著作権情報　"},
    {kMetaTrackName, "タイトル "},
    {kMetaInstrument, "インストルメント名　"},
    {kMetaLyric, "歌詞　"},
    {kMetaMarker, "マーカー　"},
    {kMetaCuePoint, "キューポイント　"},
}};

constexpr std::array<Named, 8> kOtherMetaNames = {{
    {kMetaSequenceNumber, "シーケンス番号"},
    {kMetaChannelPrefix, "チャネルプリフィックス"},
    {kMetaEndOfTrack, "トラック末尾"},
    {kMetaTempo, "テンポ "},
    {kMetaSmpteOffset, "SMPTEオフセット"},
    {kMetaTimeSignature, "拍子"},
    {kMetaKeySignature, "調号"},
    {kMetaSequencerSpecific, "シーケンサー特有"},
}};

template <std::size_t N>
const Named* Find(const std::array<Named, N>& table, int number) {
    for (const Named& row : table) {
        if (row.number == number) return &row;
    }
    return nullptr;
}

// The area as text: up to its first zero byte, within length and the area.
std::string_view AreaText(const MidiEvent& event) {
    const int limit = std::min(std::max(event.length, 0), event.DataCapacity());
    const auto* text = reinterpret_cast<const char*>(event.data);
    return {text, strnlen(text, static_cast<std::size_t>(limit))};
}

std::string Describe(const MidiEvent& event) {
    const auto number = [](long n) { return std::to_string(n); };
    switch (event.status) {
        case kEvNote:
            return "ノート " + number(event.note) + " " + number(event.duration) + " " +
                   number(event.velocity);
        case kEvNoteOff:
            return "ノートオフ ";
        case kEvNoteOn:
            return "ノートオン ";
        case kEvKeyPressure:
            return "ポリプレス ";
        case kEvControl: {
            const Named* row = Find(kControllerNames, event.number);
            return std::string(row ? row->text : kUndefinedController) + number(event.value);
        }
        case kEvProgram:
            return "プログラムチェンジ " + number(static_cast<long>(event.value) + 1);
        case kEvChannelPressure:
            return "チャネルプレス ";
        case kEvPitchBend:
            return "ピッチベンド ";
        case kEvSysEx:
            if (event.number == kExTypeMasterVolume)
                return "マスターボリューム " + number(event.value);
            if (event.number == kExTypeGsPartEqSwitch) return "EQ ON OFF";
            return "未定義のシステムエクスクルーシブ";
        case kEvSysExEscape:
            return "システムエクスクルーシブ ";
        case kEvMeta: {
            if (const Named* row = Find(kTextMetaNames, event.number)) {
                return std::string(row->text) + std::string(AreaText(event));
            }
            const Named* row = Find(kOtherMetaNames, event.number);
            if (row == nullptr) return "未定義のメタイベント";
            if (event.number == kMetaTempo) {
                return std::string(row->text) + number(GneClockToBpm(event.value));
            }
            return std::string(row->text);
        }
        default:
            return "未定義のイベント";
    }
}

}  // namespace

char* MidiEvent::GetEventString(char* text) {
    if (text == nullptr) return text;
    try {
        const std::string line = Describe(*this);
        std::memcpy(text, line.c_str(), line.size() + 1);
    } catch (...) {
        text[0] = 0;
    }
    return text;
}
