#!/usr/bin/python3
# Compares MIDI files pairwise with mido, an independent reader: every event
# of all tracks at its absolute tick, as a multiset. A note on of velocity 0
# counts as a note off, and note-off velocities, ends of track and meta
# events the library does not know are left out.
# Arguments: ORIGINAL COPY pairs. Prints "SAME original" or "DIFF original ...".
import sys
from collections import Counter

import mido

# The library keeps no meta events of types it does not know; the MIDI port
# (0x21) is one of them.
SKIPPED = ("end_of_track", "unknown_meta", "midi_port")
RENAMED = {"device_name": "instrument_name"}


def events(path):
    song = mido.MidiFile(path)
    found = Counter()
    for track in song.tracks:
        time = 0
        for message in track:
            time += message.time
            kind = RENAMED.get(message.type, message.type)
            if kind in SKIPPED:
                continue
            fields = dict(vars(message))
            fields.pop("time", None)
            fields["type"] = kind
            if kind == "note_on" and message.velocity == 0:
                fields["type"] = "note_off"
            if fields["type"] == "note_off":
                fields["velocity"] = 0
            for key, value in list(fields.items()):
                if isinstance(value, (list, bytearray)):
                    fields[key] = tuple(value)
            found[(time, tuple(sorted(fields.items())))] += 1
    return found


arguments = sys.argv[1:]
for original, copy in zip(arguments[::2], arguments[1::2]):
    try:
        before, after = events(original), events(copy)
    except Exception as error:
        print("DIFF", original, "unreadable:", type(error).__name__, error)
        continue
    if before == after:
        print("SAME", original)
    else:
        lost = sorted((before - after).items())[:3]
        added = sorted((after - before).items())[:3]
        print("DIFF", original, "lost", len(before - after), lost, "added", len(after - before), added)
