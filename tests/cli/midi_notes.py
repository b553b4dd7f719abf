#!/usr/bin/python3
# Reads MIDI files with mido, an independent reader, and prints what the tests
# compare: the header and every note (notes of one channel and pitch pair
# first on with first off, after all tracks are merged by time) and the tempo
# changes in the order they take effect.
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
    print("HEADER", song.type, len(song.tracks), song.ticks_per_beat)
    sounding = defaultdict(deque)
    notes = []
    ons = 0
    time = 0
    tempos = []
    for message in mido.merge_tracks(song.tracks):
        time += message.time
        if message.type == "set_tempo":
            tempos.append((time, message.tempo))
        if message.type == "note_on" and message.velocity > 0:
            ons += 1
            sounding[(message.channel, message.note)].append((time, message.velocity))
        elif message.type in ("note_on", "note_off"):
            waiting = sounding[(message.channel, message.note)]
            if waiting:
                start, velocity = waiting.popleft()
                notes.append((start, message.channel, message.note, time - start, velocity))
    for note in sorted(notes):
        print("NOTE", *note)
    for tempo in tempos:
        print("TEMPO", *tempo)
    print("ONS", ons)
