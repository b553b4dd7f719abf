/// @file
/// What the playback layer plugs into the format-0 song: the song declares
/// Play, Stop, StartPlayThread and PlayThread, the player defines what they
/// do. Without a player installed they answer "no player".
#pragma once

class MidiF0Data;

/// The player's entry points a song calls; null where no player is installed.
struct MidiPlayHooks {
    int (*play)(MidiF0Data& song) = nullptr;               ///< MidiF0Data::Play
    int (*start_play_thread)(MidiF0Data& song) = nullptr;  ///< MidiF0Data::StartPlayThread
    void (*play_thread)() = nullptr;                       ///< MidiF0Data::PlayThread
    int (*stop)(MidiF0Data& song) = nullptr;               ///< MidiF0Data::Stop
};

/// Installs hooks and returns those it replaces; empty hooks remove the player.
MidiPlayHooks MidiSetPlayHooks(const MidiPlayHooks& hooks);
