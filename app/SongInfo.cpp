// The playing time of a loaded song for the window's song line.
#include "app/SongInfo.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "midi/song/MidiF0Data.h"

double SongSeconds(const MidiF0Data& song) {
    const MidiTrackData* track = song.GetTrack();
    // A negative division counts SMPTE frames, not quarter notes.
    if (track == nullptr || song.division <= 0) return 0.0;

    std::vector<std::pair<std::int64_t, int>> tempos;  // absolute tick, microseconds per quarter
    std::int64_t tick = 0;
    std::int64_t end = 0;
    for (int i = 0; i < track->GetEventCount(); ++i) {
        const MidiEvent* event = track->GetEvent(i);
        tick += std::max(event->delta, 0);
        // In form Q2 a note lasts beyond its own tick.
        const std::int64_t last =
            event->status == kEvNote ? tick + std::max(event->duration, 0) : tick;
        end = std::max(end, last);
        if (event->status == kEvMeta && event->number == kMetaTempo && event->value > 0)
            tempos.emplace_back(tick, event->value);
    }

    double microseconds = 0.0;
    std::int64_t at = 0;
    int tempo = kDefaultTempo;
    for (const auto& [change, value] : tempos) {
        microseconds += static_cast<double>(change - at) * tempo;
        at = change;
        tempo = value;
    }
    microseconds += static_cast<double>(end - at) * tempo;
    return microseconds / song.division / 1e6;
}

QString FormatSeconds(double seconds) {
    const auto whole = static_cast<long long>(std::llround(std::max(seconds, 0.0)));
    const long long hours = whole / 3600;
    const long long minutes = whole / 60 % 60;
    const long long rest = whole % 60;
    if (hours > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(hours)
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(rest, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, QLatin1Char('0'));
}
