// `retrograde text`: full-width letters, digits and katakana of a song's
// Shift-JIS texts to their half-width forms.
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"

namespace {

struct TextOptions {
    EditOptions edit;
    bool halfwidth = false;
    bool letters = false;
    bool kana = false;
};

// Text meta events: text, copyright, name, instrument, lyric, marker, cue point.
constexpr int kFirstText = kMetaText;
constexpr int kLastText = kMetaCuePoint;

// Whether bytes are well-formed UTF-8 (lead bytes, continuation bytes and
// their count; Shift-JIS texts almost never pass).
bool IsUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const std::size_t more = c < 0x80                ? 0
                                 : c >= 0xC2 && c < 0xE0 ? 1
                                 : c >= 0xE0 && c < 0xF0 ? 2
                                 : c >= 0xF0 && c < 0xF5 ? 3
                                                         : 9;
        if (more == 9 || i + more >= bytes.size()) return false;
        for (std::size_t k = 1; k <= more; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        }
        i += more + 1;
    }
    return true;
}

// Converts one text event alone (in the scratch track), so texts that are
// UTF-8 (whose bytes the Shift-JIS conversion would tear apart) stay.
int Convert(MidiEvent& event, bool letters, bool kana, MidiTrackData& single) {
    const std::string_view bytes(
        reinterpret_cast<const char*>(event.data),
        static_cast<std::size_t>(std::clamp(event.length, 0, event.DataCapacity())));
    if (IsUtf8(bytes)) return 0;
    single.DeleteAllEvent();
    if (single.AddCopyEvent(&event) != 1) return 0;
    single.DbcsToSbcs(letters, kana, kEvMeta, event.number);
    MidiEvent& converted = *single.event_table[0];
    if (converted.length == event.length &&
        std::equal(converted.data, converted.data + converted.length, event.data))
        return 0;
    event.Copy(&converted);
    return 1;
}

}  // namespace

CliCommand AddTextCommand(CLI::App& parent) {
    auto options = std::make_shared<TextOptions>();
    CLI::App* app = AddVerbApp(parent, "text");
    app->footer(
        "--halfwidth turns the full-width (two-byte Shift-JIS) letters and digits "
        "(--letters) and katakana (--kana) of every text, name, lyric, marker and cue "
        "point into their one-byte forms; with neither, both. Texts that are valid UTF-8 "
        "are left alone. INPUT is never overwritten.");
    app->add_flag("--halfwidth", options->halfwidth, "Convert to half-width forms")->required();
    app->add_flag("--letters", options->letters, "Letters and digits only (with --kana: both)");
    app->add_flag("--kana", options->kana, "Katakana only (with --letters: both)");
    AddEditOptions(app, options->edit, true, EditReach::kSong);
    return {
        app, [options] {
            const bool both = !options->letters && !options->kana;
            return RunEdit(options->edit, [&](EditJob& job) {
                int changed = 0;
                MidiTrackData scratch(kFormQ2);
                for (int t : job.tracks) {
                    MidiTrackData& track = *job.song->GetTrack(t);
                    for (int i = 0; i < track.event_count; ++i) {
                        MidiEvent& e = *track.event_table[i];
                        if (e.status != kEvMeta || e.number < kFirstText || e.number > kLastText)
                            continue;
                        changed +=
                            Convert(e, both || options->letters, both || options->kana, scratch);
                    }
                }
                job.summary = std::to_string(changed) + " texts converted";
            });
        }};
}
