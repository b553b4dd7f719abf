#!/usr/bin/python3
# Reads a MIDI file with mido and prints, per track, the setup at tick 0 (no
# notes, texts, markers or lyrics), then "HANGING n": the note ons that no
# note off ends, and "LENGTH s": the song's length in seconds.
import collections
import sys

import mido

song = mido.MidiFile(sys.argv[1])
for n, track in enumerate(song.tracks):
    tick = 0
    for m in track:
        tick += m.time
        if tick == 0 and m.type not in ("note_on", "note_off", "end_of_track", "text", "marker",
                                        "lyrics"):
            print(n, m)
sounding = collections.Counter()
for m in mido.merge_tracks(song.tracks):
    if m.type == "note_on" and m.velocity > 0:
        sounding[(m.channel, m.note)] += 1
    elif m.type in ("note_on", "note_off") and sounding[(m.channel, m.note)]:
        sounding[(m.channel, m.note)] -= 1
print("HANGING", sum(sounding.values()))
print("LENGTH %.3f" % song.length)
