// The message tables of MidiTrackData. They sit in a header because the
// track's free helpers (GneSetVariable) report through them as well.
#pragma once

#include <array>
#include <atomic>

#include "General/detail/ClassMessages.h"
#include "midi/track/MidiTrackData.h"

namespace retrograde::detail {

inline constexpr std::array kTrackTexts = {
    MessageText{kErrTrackInternal, "MidiTrackDataで内部エラーが発生しました。"},
    MessageText{kErrTrackUndefinedEvent, "未定義のMIDIイベントです。"},
    MessageText{kErrTrackChannel, "チャネルに誤りがあります。"},
    MessageText{kErrTrackTempo, "テンポに誤りがあります。"},
    MessageText{kErrTrackTooMuchData, "データの量が多すぎます。"},
    MessageText{kErrTrackNotMidi,
                "MIDIファイルではないか、マックバイナリがついているファイルです。"},
    MessageText{kErrTrackDrumRange,
                "(1)ドラムで指定されている音が35(バスドラ)～81(オープントライアングル)の範囲内に"
                "ありません。範囲内に調整しました。"},
    MessageText{kErrTrackProgram,
                "プログラム・チェンジで不正な番号がありました。0に調整しました。"},
    MessageText{kErrTrackDoubleNoteOn, "ノートオンが重複していました。"},
    MessageText{kErrTrackDoubleNoteOff, "ノートオフが重複していました。"},
    MessageText{
        kErrTrackTopNoteMissing,
        "このアルゴリズムで、トップノートは間引かないという機狽ﾍ未実装です。(無視されます。)"},
    MessageText{kErrTrackDrumBank, "ドラムのバンクセレクトで０以外の値が設定されていました。"},
    MessageText{kErrTrackNoteNumber, "ノートナンバーの異常が検出されました。"},
    MessageText{kErrTrackTempoData, "MidiTrackDataでテンポデータの異常が検出されました。"},
};

// The once flags are shared by every track of the process; the reader may
// run on another thread than an editing operation, hence atomics.
inline std::atomic<bool> undef_event{false};
inline std::atomic<bool> num_volume{false};
inline std::atomic<bool> num_pan{false};
inline std::atomic<bool> data_size{false};
inline std::atomic<bool> topnote{false};
inline std::atomic<bool> topnote_warn{false};

inline constexpr std::array kTrackOnceTexts = {
    OnceText{kErrTrackUndefinedEvent, "未定義のMIDIイベントが含まれていました。", &undef_event},
    OnceText{kErrTrackMultiVolume, "複数のボリュームが設定されています。", &num_volume},
    OnceText{kErrTrackMultiPan, "複数のパンが設定されています。", &num_pan},
    OnceText{kErrTrackEventTooLarge, "サイズが大きすぎるイベントが含まれています。", &data_size},
    OnceText{kErrTrackThinOut, "音の間引きに失敗しました。", &topnote},
    // Volume and master volume share one flag.
    OnceText{kErrTrackMultiMasterVolume, "複数のマスターボリュームが設定されています。",
             &num_volume},
    OnceText{kErrTrackTopNoteWarn,
             "トップノートは間引かないを指定していますが、指定をはずして間引きました。",
             &topnote_warn},
};

inline constexpr MessageTable kTrackMessages{"MidiTrackData", kTrackTexts, kTrackOnceTexts};

}  // namespace retrograde::detail
