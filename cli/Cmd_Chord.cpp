// `retrograde chord NAME...`: the notes of chord names as songs write them in
// markers.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "EditSupport.h"
#include "music/ChordNameCtl.h"

namespace {

struct Part {
    const char* name;
    int note;
};

std::vector<Part> PartsOf(const ChordNameCtl& chord) {
    std::vector<Part> parts = {
        {"bass", chord.bass}, {"root", chord.root}, {"third", chord.third}, {"fifth", chord.fifth}};
    if (chord.seventh != 0) parts.push_back({"seventh", chord.seventh});
    return parts;
}

void PrintForPeople(const std::string& name, const ChordNameCtl& chord) {
    if (chord.root == 0) {
        std::printf("%s: no chord\n", name.c_str());
        return;
    }
    std::printf("%s:", name.c_str());
    for (const Part& part : PartsOf(chord)) {
        std::printf("  %s %s (%d)", part.name, NoteName(part.note).c_str(), part.note);
    }
    std::printf("\n");
}

std::string JsonOf(const std::string& name, const ChordNameCtl& chord) {
    std::string json = "{\"name\": " + JsonString(name);
    if (chord.root != 0) {
        for (const Part& part : PartsOf(chord)) {
            json += ", \"" + std::string(part.name) + "\": " + std::to_string(part.note);
        }
    }
    return json + "}";
}

}  // namespace

CliCommand AddChordCommand(CLI::App& parent) {
    CLI::App* app = AddVerbApp(parent, "chord");
    auto names = std::make_shared<std::vector<std::string>>();
    auto json = std::make_shared<bool>(false);
    app->add_option("NAME", *names, "Chord names as markers write them: Cm7, F#, Bbsus4, C(9)")
        ->required();
    app->add_flag("--json", *json, "One JSON object a name, in a list");
    app->footer(
        "The notes are those a song's chord markers stand for: the root in the octave from "
        "middle C (C4 = 60), the bass an octave below. \"m\" makes the third minor wherever it "
        "stands, \"sus2\" reads as sus4, and a name starting with N or U (N.C.) is no chord.");
    return {app, [names, json] {
                int status = 0;
                std::vector<std::string> objects;
                for (const std::string& name : *names) {
                    std::string text = name;
                    const ChordNameCtl chord(text.data());
                    const bool named =
                        chord.root != 0 || name.empty() || name[0] == 'N' || name[0] == 'U';
                    if (!named) {
                        std::fprintf(stderr, "retrograde: %s: not a chord name\n", name.c_str());
                        status = 1;
                        continue;
                    }
                    if (*json) {
                        objects.push_back(JsonOf(name, chord));
                    } else {
                        PrintForPeople(name, chord);
                    }
                }
                if (*json) {
                    std::printf("[");
                    for (std::size_t i = 0; i < objects.size(); ++i) {
                        std::printf("%s%s", i > 0 ? ", " : "", objects[i].c_str());
                    }
                    std::printf("]\n");
                }
                return status;
            }};
}
