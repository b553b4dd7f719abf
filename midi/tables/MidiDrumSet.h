/// @file
/// The General MIDI drum sounds: their names and the groups of sounds that can
/// stand in for one another (used when a track's drum set is packed).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "midi/event/MidiConstants.h"

inline constexpr int kMidiDrumSetCount = kDrumHighestNote - kDrumLowestNote + 1;  ///< 47 names

/// Indexed by note number - 35, for the drum notes 35..81.
inline constexpr std::array<std::string_view, kMidiDrumSetCount> MidiDrumSet = {
    "ﾊﾞｽﾄﾞﾗ",        "ｴﾚｸﾄﾘｯｸﾊﾞｽﾄﾞﾗ", "ｻｲﾄﾞｷｯｸ",       "ｽﾈｱ",
    "ﾊﾝﾄﾞｸﾗｯﾌﾟ",     "ｴﾚｸﾄﾘｯｸｽﾈｱ",    "ﾛｰﾌﾛｱﾀﾑ",       "ﾊｲﾊｯﾄ",  // notes 35-42
    "ﾊｲﾌﾛｱﾀﾑ",       "ﾍﾟﾀﾞﾙﾊｲﾊｯﾄ",    "ﾛｰﾀﾑ",          "ｵｰﾌﾟﾝﾊｲﾊｯﾄ",
    "ﾛｰﾐｯﾄﾞﾀﾑ",      "ﾊｲﾐｯﾄﾞﾀﾑ",      "ｸﾗｯｼｭｼﾝﾊﾞﾙ1",   "ﾊｲﾀﾑ",  // notes 43-50
    "ﾗｲﾄﾞｼﾝﾊﾞﾙ1",    "ﾄﾞﾗ",           "ﾗｲﾄﾞﾍﾞﾙ",       "ﾀﾝﾊﾞﾘﾝ",
    "Sｽﾌﾟﾗｯｼｭｼﾝﾊﾞﾙ", "ｶｳﾍﾞﾙ",         "ｸﾗｯｼｭｼﾝﾊﾞﾙ2",   "ﾋﾞﾌﾞﾗｽﾗｯﾌﾟ",  // notes 51-58
    "ﾗｲﾄﾞｼﾝﾊﾞﾙ2",    "ﾊｲﾎﾞﾝｺﾞ",       "ﾛｰﾎﾞﾝｺﾞ",       "ﾐｭｰﾄﾊｲｺﾝｶﾞ",
    "ｵｰﾌﾟﾝﾊｲｺﾝｶﾞ",   "ﾛｰｺﾝｶﾞ",        "ﾊｲﾃｨﾝﾊﾞﾙ",      "ﾛｰﾃｨﾝﾊﾞﾙ",  // notes 59-66
    "ﾊｲｱｺﾞｺﾞ",       "ﾛｰｱｺﾞｺﾞ",       "ｶﾊﾞｻ",          "ﾏﾗｶｽ",
    "短いﾎｲｯｽﾙ",     "長いﾎｲｯｽﾙ",     "短いｷﾞﾛ",       "長いｷﾞﾛ",  // notes 67-74
    "ｸﾞﾚﾊﾞｽ",        "ﾊｲｳｯﾄﾞﾌﾞﾛｯｸ",   "ﾛｰｳｯﾄﾞﾌﾞﾛｯｸ",   "ﾐｭｰﾄｸｲｶ",
    "ｵｰﾌﾟﾝｸｲｶ",      "ﾐｭｰﾄﾄﾗｲｱﾝｸﾞﾙ",  "ｵｰﾌﾟﾝﾄﾗｲｱﾝｸﾞﾙ",  // notes 75-81
};

/// The name of the drum sound on note (35..81); empty for any other note.
std::string_view GetMidiDrumSetName(int note);

/// Groups of drum notes that can replace one another; the places after a
/// group's last note hold 0. The users keep each group's note count themselves.
///@{
inline constexpr int kInstGroupCount = 17;
inline constexpr int kInstGroupWidth = 10;
inline constexpr std::array<std::array<std::int32_t, kInstGroupWidth>, kInstGroupCount> InstGroup =
    {{
        {35, 36},                  // bass drums
        {38, 40},                  // snares
        {41, 43, 45, 47, 48, 50},  // toms
        {42},                      // closed hi-hat
        {44, 46},                  // pedal and open hi-hat
        {49, 51, 57, 52, 59, 55},  // cymbals
        {60, 61},                  // bongos
        {62, 63, 64},              // congas
        {67, 68},                  // agogos
        {71, 72},                  // whistles
        {78, 79},                  // cuicas
        {73, 74},                  // guiros
        {65, 66},                  // timbales
        {37, 75, 76, 77},          // side stick, claves, wood blocks
        {39, 56, 53, 54, 58},      // clap, cowbell, ride bell, tambourine, vibraslap
        {69, 70},                  // cabasa, maracas
        {80, 81},                  // triangles
    }};
///@}
