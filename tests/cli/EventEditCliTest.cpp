// The event-edit verbs end to end on real files: each output is read back by
// mido (which refuses any data byte of 0x80 or more) and shows the edit.

#include <functional>

#include "CliFixture.h"

using namespace cli_test;

namespace {

using Rows = std::vector<std::vector<long>>;

// The rows, each changed by change (rows it empties go), sorted.
Rows Mapped(Rows rows, const std::function<void(std::vector<long>&)>& change) {
    Rows out;
    for (auto& row : rows) {
        change(row);
        if (!row.empty()) out.push_back(row);
    }
    std::sort(out.begin(), out.end());
    return out;
}

struct Case {
    std::string verb;
    std::function<std::string(const MidoView&)> arguments;
    std::function<void(const MidoView& in, const MidoView& out)> check;
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
    const auto first_channel = [](const MidoView& s) {
        for (const auto& n : s.Numbers("NOTE"))
            if (n[0] != 9) return n[0];
        return 0L;
    };
    const auto free_channel = [](const MidoView& s) {
        for (long c = 15; c > 0; --c) {
            bool used = false;
            for (const char* kind : {"NOTE", "CC", "PROGRAM"})
                for (const auto& row : s.Numbers(kind)) used = used || row[0] == c;
            if (!used) return c;
        }
        return 0L;
    };
    const std::vector<Case> cases = {
        {"transpose", [](const MidoView&) { return "--semitones -2"; },
         [](const MidoView& in, const MidoView& out) {
             EXPECT_EQ(out.Numbers("NOTE"), Mapped(in.Numbers("NOTE"), [](auto& n) {
                           if (n[0] != 9) n[1] -= 2;
                       }));
         }},
        {"cc", [](const MidoView&) { return "--controller 7 --set 100"; },
         [](const MidoView& in, const MidoView& out) {
             EXPECT_EQ(out.Numbers("CC"), Mapped(in.Numbers("CC"), [](auto& c) {
                           if (c[1] == 7) c[2] = 100;
                       }));
         }},
        {"cc", [](const MidoView&) { return "--controller 7 --scale 50 --channel 10"; },
         [](const MidoView& in, const MidoView& out) {
             EXPECT_EQ(out.Numbers("CC"), Mapped(in.Numbers("CC"), [](auto& c) {
                           if (c[1] == 7 && c[0] == 9) c[2] /= 2;
                       }));
         }},
        {"program",
         [&](const MidoView& in) {
             return "--channel " + std::to_string(first_channel(in) + 1) + " --program 25";
         },
         [&](const MidoView& in, const MidoView& out) {
             Rows programs = out.Numbers("PROGRAM");
             std::erase_if(programs, [&](const auto& p) { return p[0] != first_channel(in); });
             EXPECT_FALSE(programs.empty());
             for (const auto& p : programs) EXPECT_EQ(p[1], 24);
         }},
        {"move-channel",
         [&](const MidoView& in) {
             return "--from " + std::to_string(first_channel(in) + 1) + " --to " +
                    std::to_string(free_channel(in) + 1);
         },
         [&](const MidoView& in, const MidoView& out) {
             const long from = first_channel(in), to = free_channel(in);
             EXPECT_EQ(out.Numbers("NOTE"), Mapped(in.Numbers("NOTE"), [&](auto& n) {
                           if (n[0] == from) n[0] = to;
                       }));
         }},
        {"cut",
         [](const MidoView& in) {
             return "--from " + std::to_string(4 * in.division) + "t --to " +
                    std::to_string(8 * in.division) + "t";
         },
         [](const MidoView& in, const MidoView& out) {
             const long from = 4 * in.division, span = 4 * in.division;
             EXPECT_EQ(out.end, in.end - span);
             EXPECT_EQ(out.Numbers("NOTE"), Mapped(in.Numbers("NOTE"), [&](auto& n) {
                           if (n[2] >= from && n[2] < from + span) return n.clear();
                           if (n[2] < from) n[3] = std::min(n[3], from - n[2]);
                           if (n[2] >= from + span) n[2] -= span;
                       }));
         }},
        {"insert",
         [](const MidoView& in) {
             return "--at " + std::to_string(4 * in.division) + "t --length " +
                    std::to_string(2 * in.division) + "t";
         },
         [](const MidoView& in, const MidoView& out) {
             const long at = 4 * in.division, length = 2 * in.division;
             EXPECT_EQ(out.end, in.end + length);
             EXPECT_EQ(out.Numbers("NOTE"), Mapped(in.Numbers("NOTE"), [&](auto& n) {
                           if (n[2] >= at) n[2] += length;
                       }));
         }},
        {"setup",
         [](const MidoView&) { return "--gs --master-volume 100 --tempo 90 --time 3/4 --key D"; },
         [](const MidoView& in, const MidoView& out) {
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
    auto before = ReadWithMido(inputs, "midi_events.py");
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
    auto after = ReadWithMido(outputs, "midi_events.py");
    for (std::size_t f = 0; f < inputs.size(); ++f) {
        for (std::size_t c = 0; c < cases.size(); ++c) {
            SCOPED_TRACE(inputs[f] + " " + cases[c].verb);
            const MidoView& out = after[outputs[f * cases.size() + c]];
            ASSERT_EQ(out.error, "");
            cases[c].check(before[inputs[f]], out);
        }
    }
}
