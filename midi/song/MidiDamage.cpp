// The words of a damage report.
#include "midi/song/MidiDamage.h"

std::vector<std::string> MidiDamage::Lines() const {
    std::vector<std::string> lines;
    for (const CutTrack& c : cut) {
        lines.push_back("track " + std::to_string(c.track + 1) +
                        " cut off: " + std::to_string(c.read) + " of " +
                        std::to_string(c.declared) + " bytes read");
    }
    if (found < announced) {
        lines.push_back(std::to_string(announced - found) + " of " + std::to_string(announced) +
                        " announced tracks missing");
    }
    for (const SkippedBytes& s : skipped) {
        lines.push_back("track " + std::to_string(s.track + 1) + ": " + std::to_string(s.bytes) +
                        (s.bytes == 1 ? " byte" : " bytes") + " skipped as unreadable");
    }
    return lines;
}

std::string MidiDamage::Summary() const {
    std::string summary;
    for (const std::string& line : Lines()) summary += (summary.empty() ? "" : "; ") + line;
    return summary;
}
