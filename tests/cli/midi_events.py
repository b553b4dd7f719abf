#!/usr/bin/python3
# Reads MIDI files with mido (which refuses a data byte of 0x80 or more) and
# prints, merged over all tracks by time, what the event-edit tests compare:
# the division, the end, notes, control and program changes, exclusives and
# the tempo, time and key signatures.
import sys
from collections import defaultdict, deque

import mido

for path in sys.argv[1:]:
    print("FILE", path)
    try:
        song = mido.MidiFile(path)
    except Exception as error:  # the test reports the file and the reason
        print("ERROR", type(error).__name__, str(error).replace("\n", " "))
        continue
    print("DIVISION", song.ticks_per_beat)
    print("END", max(sum(m.time for m in track) for track in song.tracks))
    sounding = defaultdict(deque)
    time = 0
    for m in mido.merge_tracks(song.tracks):
        time += m.time
        if m.type == "note_on" and m.velocity > 0:
            sounding[(m.channel, m.note)].append(time)
        elif m.type in ("note_on", "note_off") and sounding[(m.channel, m.note)]:
            start = sounding[(m.channel, m.note)].popleft()
            print("NOTE", m.channel, m.note, start, time - start)
        elif m.type == "control_change":
            print("CC", m.channel, m.control, m.value, time)
        elif m.type == "program_change":
            print("PROGRAM", m.channel, m.program, time)
        elif m.type == "sysex":
            print("SYSEX", time, " ".join("%02X" % b for b in m.data))
        elif m.type == "set_tempo":
            print("META tempo", time, m.tempo)
        elif m.type == "time_signature":
            print("META time", time, "%d/%d" % (m.numerator, m.denominator))
        elif m.type == "key_signature":
            print("META key", time, m.key)
