#!/usr/bin/python3
# Reads MIDI files with mido (which refuses a data byte of 0x80 or more) and
# prints every message, all tracks merged by time, as "tick type channel
# detail" ("-" for no channel): an exclusive's data and another message's
# bytes in hex, a meta event's name or text.
import sys

import mido

for path in sys.argv[1:]:
    time = 0
    for m in mido.merge_tracks(mido.MidiFile(path).tracks):
        time += m.time
        if m.type == "sysex":
            detail = bytes(m.data).hex()
        elif not m.is_meta:
            detail = bytes(m.bytes()).hex()
        else:
            detail = getattr(m, "name", getattr(m, "text", ""))
        print(time, m.type, getattr(m, "channel", "-"), detail)
