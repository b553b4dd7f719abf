#!/usr/bin/python3
# Reads MIDI files with mido, an independent reader, and prints what the tests
# compare: the header and every note (notes of one channel and pitch pair
# first on with first off, after all tracks are merged by time) and the tempo
# changes in the order they take effect; then the time in seconds (after the
# tempo changes) from the first note's start to the last note's end.
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
    if song.type == 2:  # no common time: no span
        continue
    sounding = defaultdict(deque)
    first = last = None
    now = 0.0
    for message in song:  # times in seconds, tempo followed
        now += message.time
        if message.type == "note_on" and message.velocity > 0:
            sounding[(message.channel, message.note)].append(now)
            first = now if first is None else first
        elif message.type in ("note_on", "note_off") and sounding[(message.channel, message.note)]:
            sounding[(message.channel, message.note)].popleft()
            last = now if last is None else max(last, now)
    print("SPAN", repr((last or 0.0) - (first or 0.0)))
