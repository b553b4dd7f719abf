// Look-up of General MIDI program names.
#include "midi/tables/MidiInst.h"

static_assert(MidiInst.size() == 128);
static_assert(MidiInst[0] == "ｸﾞﾗﾝﾄﾞ ﾋﾟｱﾉ" && MidiInst[127] == "銃声");

std::string_view GetMidiInstName(int program) {
    if (program < 0 || program >= kMidiInstCount) return {};
    return MidiInst[static_cast<std::size_t>(program)];
}
