// Events described for people and for scripts: English names, note names,
// the values of tempo, time and key signatures, known exclusives named.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class MidiEvent;

// One event as `dump` shows it.
struct EventView {
    std::string name;    // "Note", "Tempo", "GM system on" ...
    std::string detail;  // the values in one line for people
    // The same values for --json: each key with its value already in JSON.
    std::vector<std::pair<std::string, std::string>> fields;
};

EventView ViewEvent(const MidiEvent& event);

// A file's tracks in the column format of midicsv, which csvmidi reads
// back: the events as the file holds them, track by track. Empty when image
// holds no Standard MIDI File.
std::string FileCsv(std::vector<unsigned char> image);
