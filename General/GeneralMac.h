/// @file
/// The general utility module: memory, file dialogs, whole-file reading and
/// writing, settings, message sinks and the text and number helpers that the
/// MIDI library shares. Everything the platform provides goes through hooks
/// that a program installs (see GneHooks.h); without them the module works
/// headless: dialogs answer "cancelled", alerts and messages go to stderr.
#pragma once

#include <cstddef>
#include <string>

#include "General/GneHooks.h"
#include "General/GneStatus.h"

// Alert codes of GneErrorMsg.
/// Memory ran out.
inline constexpr int kGneErrNoMemory = 0;
/// A file could not be opened, read or written.
inline constexpr int kGneErrOpenFile = 1;
/// No such file or folder.
inline constexpr int kGneErrNotFile = 2;
/// No such function (ERR_GNE_NOFUNCTION).
inline constexpr int kGneErrNoFunction = 3;
inline constexpr int kGneErrPlayerBusy = 4;      ///< the player could not start a play thread
inline constexpr int kGneErrHexDigit = 6;        ///< a character that is no hexadecimal digit
inline constexpr int kGneErrParamRange = 11;     ///< a range text without ':'
inline constexpr int kGneErrTimeSignature = 14;  ///< a time signature whose denominator is below 2

inline constexpr int kGneNameSize = 256;  ///< callers' file-name buffers

// Memory
void* GneMemAlloc(unsigned long size);  ///< zero-filled; null after reporting code 0
/// Frees what GneMemAlloc gave; null is ignored.
void GneMemFree(void* memory);

/// Dialogs through the installed panel hooks (headless: cancelled): the chosen path
/// into name (kGneNameSize bytes); 1 when the user chose, 0 when cancelled.
///@{
int GneGetLoadFileName(const char* extension, const char* filter, char* name);
int GneGetSaveFileName(char* name, const char* extension, const char* filter);
int GneGetOpenFolderName(unsigned long, const char* folder, char* name, unsigned long, char*);
///@}

// Whole files. Every failure is reported as kGneErrOpenFile (a file above
// kGneMaxFileSize as too large) and returns 0.
long GneGetFileSize(const char* path);  ///< bytes of the file; 0 when it cannot be read
/// Reads the whole file into buffer and its length into size; 1 or 0 (size 0).
int GneLoadFile(const char* path, unsigned char* buffer, long* size);
/// Reads exactly size bytes; fewer is a failure. 1 or 0.
int GneLoadFile(const char* path, unsigned char* buffer, long size);
/// Writes size bytes through a temporary file that replaces path; 1, or 0 and path as it was.
int GneSaveFile(const char* path, const unsigned char* buffer, long size);
/// GneGetLoadFileName, then GneLoadFile; 1, or 0 when cancelled or unread.
int GneLoadFileEx(char* name, const char* extension, const char* filter, unsigned char* buffer,
                  long* size);
/// GneGetSaveFileName, then GneSaveFile; 1, or 0 when cancelled or unwritten.
int GneSaveFileEx(char* name, const char* extension, const char* filter,
                  const unsigned char* buffer, long size);

/// Largest file GneLoadFile reads (1 MiB): the callers' buffers hold as much.
inline constexpr long kGneMaxFileSize = 1048576;

/// Existence: 1 when path names a file (a folder), else 0; the plain forms
/// report kGneErrNotFile when it does not.
///@{
int GneIsFileExistWithoutMsg(const char* path);
int GneIsFolderExistWithoutMsg(const char* path);
int GneIsFileExist(const char* path);
int GneIsFolderExist(const char* path);
///@}
/// The working folder into buffer (kGneNameSize bytes); 1, or 0 ("", reported).
int GneGetCurrentDirectory(char* buffer);

/// Settings: integers under "section,key" in $XDG_CONFIG_HOME/retrograde/settings;
/// the stored value or def, and 1 when written, 0 when not.
///@{
int GneGetProfileInt(const char* section, const char* key, int def);
int GneWriteProfileInt(const char* section, const char* key, int value);
///@}
/// Texts in the same file: the stored text, "" when none; 1 when written, 0
/// when the file cannot be written or the text would not stay on its line.
///@{
std::string GneGetProfileString(const char* section, const char* key);
int GneWriteProfileString(const char* section, const char* key, const std::string& value);
///@}

// Messages
/// Alerts the message of code (title "GeneralMac") through the alert hook.
void GneErrorMsg(int code);
void GneMessageBox(const char* title, const char* text);  ///< through the alert hook
/// Each passes text, whole, to the message sink; GneWriteOptionMsg returns 1.
///@{
void GneWriteErrorMsg(const char* text);
void GneWriteInformationMsg(const char* text);
int GneWriteOptionMsg(const char* text);
///@}
const char* GneErrorName(int code);  ///< the name GneErrorMsg shows for a code

/// Message and text helpers of the platform layer.
class MacUty {
public:
    MacUty() = default;
    ~MacUty() = default;
    static void MacMessageBox(const char* text);  ///< text, whole, to the message sink
    /// Length byte and at most 255 bytes of text into buffer (256 bytes); buffer + 1.
    static char* toPascal(char* buffer, const char* text);
};

/// value in decimal (radix 10) or unsigned hexadecimal (16) into destination;
/// other radixes write nothing. Returns destination.
char* itoa(int value, char* destination, int radix);

/// Shift-JIS katakana: full width to half width, in place (A: the plain kana,
/// B: the voiced ones, which become two bytes).
///@{
void GneSetSbcsKataKana(unsigned char* text);
void GneSetSbcsKataKanaA(unsigned char* text);
void GneSetSbcsKataKanaB(unsigned char* text);
///@}

// Parsing. Word and part rows are 256 bytes; at most 16 rows are filled.
/// Rows of a words or parts table.
inline constexpr int kGneMaxWords = 16;
/// Bytes of one row.
inline constexpr int kGneWordSize = 256;
/// Value of a hexadecimal text; a character that is no digit is reported and counts as 0.
int GneHexToI(const char* text);
int GneIsNumberString(const char* text);  ///< 1 when text has decimal digits only
/// 1 when text holds pattern (cut at its first '*', which it writes as 0), else 0.
int GneIsStringIncluded(const char* text, char* pattern);
/// 1 when text matches pattern ('?' any one character, '*' the rest), else 0.
int GneCompareStringWithWildCard(const char* pattern, const char* text);
int GneCountTrue(const bool* flags, int count);  ///< true entries of flags[0..count)
/// Space-separated words of line (double quotes group) into words; returns the
/// last word's index (the word count - 1).
int GneExtractCommandParam(const char* line, char (*words)[256]);
int GneGetParams(const char* text, char (*parts)[256]);  ///< ';'-separated parts; their count
/// "from:to" into from and to; a text without ':' is reported and read as one number.
int GneGetParamRange(const char* text, int* from, int* to);
/// Splits "command=param" (or '>') at the first operator; param "" when none.
void GneGetCommandAndParam(const char* text, char* command, char* param);
/// The same at the first '=', '>' or '<' (with a '=' after it, two characters),
/// the operator into op.
void GneGetCommandAndParamAndOperator(const char* text, char* command, char* param, char* op);

// Music arithmetic. Tempos are microseconds per quarter note; time-signature
// codes are numerator * 256 + denominator.
int GneIsSimilerTone(int a, int b);  ///< 1 when programs a and b share a family of 8
long GneClockToBpm(long tempo);      ///< beats per minute; 0 below 1000 microseconds
long GneBpmToClock(long bpm);        ///< tempo of bpm (at least 1)
/// Seconds of delta ticks at division ticks per quarter note; 0 without a division.
double GneDeltaTimeToSecond(int delta, int division, long tempo);
/// Note number of a name such as "C#4"; an empty name gives 12 (mode 1) or 24.
int GneNoteNameToNoteNumber(int mode, const char* name);
int GneGetInterval(int a, int b);  ///< semitones between pitch classes, 0..6
/// Quarter notes per measure; a denominator below 2 is reported (0 gives 4).
double GneGetTimeSignValue(int code);
/// The 4 data bytes of a time-signature meta event into data, 4 into length.
void GneSetTimeSignData(int code, unsigned char* data, int* length);

// Formatting
/// "mmmm:bb:ttt" of a position counted from 0, shown from 1, into text (40 bytes).
void GneGetTickText(char* text, int measure, int beat, int tick);
/// The numbers in the fields of a "mmmm:bb:ttt" text, as written.
void GneGetMeasureBeatTickText(const char* text, int* measure, int* beat, int* tick);
/// Minutes, seconds and milliseconds, "%02d:%02d:%02d", into text (32 bytes);
/// negative or endless times give 0.
void GneGetMinSecMSecText(char* text, double seconds);
/// 1 when a port name names the B port of a two-port SC-88 ("SC88B", "88B" ...).
int GneIsSC88BPort(const char* text);
int GneIsSC88APort(const char* text);  ///< 1 for any other name
