// The event-edit verbs end to end on real files: each output is read back by
// mido (which refuses any data byte of 0x80 or more) and shows the edit.

#include <functional>

#include "CliFixture.h"

using namespace cli_test;

namespace {

// What midi_events.py printed for one file, line by line under its first word.
struct Summary {
    std::string error;
    long division = 0;
    long end = 0;
    std::multimap<std::string, std::vector<std::string>> rows;
    std::vector<std::vector<long>> Numbers(const std::string& kind) const {
        std::vector<std::vector<long>> out;
        for (auto [i, last] = rows.equal_range(kind); i != last; ++i) {
            std::vector<long> numbers;
            for (const std::string& word : i->second) numbers.push_back(std::atol(word.c_str()));
            out.push_back(numbers);
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    bool Has(const std::string& kind, const std::vector<std::string>& words) const {
        for (auto [i, last] = rows.equal_range(kind); i != last; ++i) {
            if (i->second == words) return true;
        }
        return false;
    }
};

std::map<std::string, Summary> Summaries(const std::vector<std::string>& paths) {
    const RunResult run = RunScript("midi_events.py", paths);
    std::map<std::string, Summary> out;
    Summary* current = nullptr;
    for (const std::string& line : SplitLines(run.out)) {
        std::istringstream in(line);
        std::string kind, word;
        in >> kind;
        if (kind == "FILE") {
            current = &out[line.substr(5)];
            continue;
        }
        std::vector<std::string> words;
        while (in >> word) words.push_back(word);
        // Edited songs pass through Q2, where a note lasts a tick at least.
        if (kind == "NOTE" && words.size() == 4 && words[3] == "0") words[3] = "1";
        if (kind == "ERROR") current->error = line;
        if (kind == "DIVISION") current->division = std::atol(words[0].c_str());
        if (kind == "END") current->end = std::atol(words[0].c_str());
        current->rows.insert({kind, words});
    }
    return out;
}

using Rows = std::vector<std::vector<long>>;

// Rows with field at index changed by change (rows it returns false for go).
Rows Mapped(Rows rows, const std::function<bool(std::vector<long>&)>& change) {
    Rows out;
    for (auto& row : rows) {
        if (change(row)) out.push_back(row);
    }
    std::sort(out.begin(), out.end());
    return out;
}

struct Case {
    std::string verb;
    std::function<std::string(const Summary&)> arguments;
    std::function<void(const Summary& in, const Summary& out)> check;
};

}  // namespace

TEST(EventEditCli, EveryVerbOnRealFilesReadBackByMido) {
    REQUIRE_REAL_FILES(files);
    // A song of mma's examples (format 1) and one of openmsx's.
    const auto openmsx = std::find_if(files.begin(), files.end(), [](const std::string& f) {
        return f.find("openmsx") != std::string::npos;
    });
    ASSERT_NE(openmsx, files.end());
    const std::vector<std::string> inputs = {files.front(), *openmsx};
    const auto first_channel = [](const Summary& s) {
        for (const auto& n : s.Numbers("NOTE")) {
            if (n[0] != 9) return n[0];
        }
        return 0L;
    };
    const auto free_channel = [](const Summary& s) {
        for (long c = 15; c > 0; --c) {
            bool used = false;
            for (const auto& n : s.Numbers("NOTE")) used = used || n[0] == c;
            for (const auto& n : s.Numbers("CC")) used = used || n[0] == c;
            for (const auto& n : s.Numbers("PROGRAM")) used = used || n[0] == c;
            if (!used) return c;
        }
        return 0L;
    };
    const std::vector<Case> cases = {
        {"transpose", [](const Summary&) { return "--semitones -2"; },
         [](const Summary& in, const Summary& out) {
             EXPECT_EQ(out.Numbers("NOTE"), Mapped(in.Numbers("NOTE"), [](auto& n) {
                           if (n[0] != 9) n[1] -= 2;
                           return true;
                       }));
         }},
        {"cc", [](const Summary&) { return "--controller 7 --set 100"; },
         [](const Summary& in, const Summary& out) {
             EXPECT_EQ(out.Numbers("CC"), Mapped(in.Numbers("CC"), [](auto& c) {
                           if (c[1] == 7) c[2] = 100;
                           return true;
                       }));
         }},
        {"cc", [](const Summary&) { return "--controller 7 --scale 50 --channel 10"; },
         [](const Summary& in, const Summary& out) {
             EXPECT_EQ(out.Numbers("CC"), Mapped(in.Numbers("CC"), [](auto& c) {
                           if (c[1] == 7 && c[0] == 9) c[2] /= 2;
                           return true;
                       }));
         }},
        {"program",
         [&](const Summary& in) {
             return "--channel " + std::to_string(first_channel(in) + 1) + " --program 25";
         },
         [&](const Summary& in, const Summary& out) {
             const Rows programs = out.Numbers("PROGRAM");
             const long channel = first_channel(in);
             EXPECT_TRUE(std::any_of(programs.begin(), programs.end(),
                                     [&](auto& p) { return p[0] == channel; }));
             for (const auto& p : programs) {
                 if (p[0] == channel) {
                     EXPECT_EQ(p[1], 24);
                 }
             }
         }},
        {"move-channel",
         [&](const Summary& in) {
             return "--from " + std::to_string(first_channel(in) + 1) + " --to " +
                    std::to_string(free_channel(in) + 1);
         },
         [&](const Summary& in, const Summary& out) {
             const long from = first_channel(in), to = free_channel(in);
             EXPECT_EQ(out.Numbers("NOTE"), Mapped(in.Numbers("NOTE"), [&](auto& n) {
                           if (n[0] == from) n[0] = to;
                           return true;
                       }));
         }},
        {"cut",
         [](const Summary& in) {
             return "--from " + std::to_string(4 * in.division) + "t --to " +
                    std::to_string(8 * in.division) + "t";
         },
         [](const Summary& in, const Summary& out) {
             const long from = 4 * in.division, span = 4 * in.division;
             EXPECT_EQ(out.end, in.end - span);
             EXPECT_EQ(out.Numbers("NOTE"), Mapped(in.Numbers("NOTE"), [&](auto& n) {
                           if (n[2] >= from && n[2] < from + span) return false;
                           if (n[2] < from) n[3] = std::min(n[3], from - n[2]);
                           if (n[2] >= from + span) n[2] -= span;
                           return true;
                       }));
         }},
        {"insert",
         [](const Summary& in) {
             return "--at " + std::to_string(4 * in.division) + "t --length " +
                    std::to_string(2 * in.division) + "t";
         },
         [](const Summary& in, const Summary& out) {
             const long at = 4 * in.division, length = 2 * in.division;
             EXPECT_EQ(out.end, in.end + length);
             EXPECT_EQ(out.Numbers("NOTE"), Mapped(in.Numbers("NOTE"), [&](auto& n) {
                           if (n[2] >= at) n[2] += length;
                           return true;
                       }));
         }},
        {"setup",
         [](const Summary&) { return "--gs --master-volume 100 --tempo 90 --time 3/4 --key D"; },
         [](const Summary& in, const Summary& out) {
             EXPECT_TRUE(
                 out.Has("SYSEX", {"0", "41", "10", "42", "12", "40", "00", "7F", "00", "41"}));
             EXPECT_TRUE(out.Has("SYSEX", {"0", "7F", "7F", "04", "01", "00", "64"}));
             EXPECT_TRUE(out.Has("META", {"tempo", "0", "666667"}));
             EXPECT_TRUE(out.Has("META", {"time", "0", "3/4"}));
             EXPECT_TRUE(out.Has("META", {"key", "0", "D"}));
             EXPECT_FALSE(out.Has("META", {"tempo", "0", "500000"}));
             EXPECT_EQ(out.Numbers("NOTE"), in.Numbers("NOTE"));
         }},
    };
    TempDir dir;
    auto before = Summaries(inputs);
    std::vector<std::string> outputs;
    for (std::size_t f = 0; f < inputs.size(); ++f) {
        for (std::size_t c = 0; c < cases.size(); ++c) {
            outputs.push_back(dir.File(std::to_string(f) + "_" + std::to_string(c) + ".mid"));
            const RunResult run =
                Retrograde(cases[c].verb + " " + cases[c].arguments(before[inputs[f]]) + " " +
                           Quote(inputs[f]) + " -o " + Quote(outputs.back()));
            ASSERT_EQ(run.status, 0) << inputs[f] << " " << cases[c].verb << ": " << run.err;
        }
    }
    auto after = Summaries(outputs);
    for (std::size_t f = 0; f < inputs.size(); ++f) {
        for (std::size_t c = 0; c < cases.size(); ++c) {
            SCOPED_TRACE(inputs[f] + " " + cases[c].verb);
            const Summary& out = after[outputs[f * cases.size() + c]];
            ASSERT_EQ(out.error, "");
            cases[c].check(before[inputs[f]], out);
        }
    }
}
