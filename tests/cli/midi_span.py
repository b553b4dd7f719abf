#!/usr/bin/python3
# Reads MIDI files with mido and prints, per file, the time in seconds (after
# the file's tempo changes) of the first note's start and the last note's
# end; notes pair first on with first off per channel and pitch.
import sys
from collections import defaultdict, deque

import mido

for path in sys.argv[1:]:
    sounding = defaultdict(deque)
    first = None
    last = None
    now = 0.0
    for message in mido.MidiFile(path):  # times in seconds, tempo followed
        now += message.time
        if message.type == "note_on" and message.velocity > 0:
            sounding[(message.channel, message.note)].append(now)
            first = now if first is None else first
        elif message.type in ("note_on", "note_off"):
            if sounding[(message.channel, message.note)]:
                sounding[(message.channel, message.note)].popleft()
                last = now if last is None else max(last, now)
    print("SPAN", repr(first if first is not None else 0.0), repr(last if last is not None else 0.0), path)
