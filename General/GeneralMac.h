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

/// Alert codes of GneErrorMsg.
inline constexpr int kGneErrNoMemory = 0;
inline constexpr int kGneErrOpenFile = 1;
inline constexpr int kGneErrNotFile = 2;
inline constexpr int kGneErrNoFunction = 3;
inline constexpr int kGneErrPlayerBusy = 4;      ///< the player could not start a play thread
inline constexpr int kGneErrHexDigit = 6;        ///< a character that is no hexadecimal digit
inline constexpr int kGneErrParamRange = 11;     ///< a range text without ':'
inline constexpr int kGneErrTimeSignature = 14;  ///< a time signature whose denominator is below 2

inline constexpr int kGneNameSize = 256;  ///< callers' file-name buffers

/// Memory
void* GneMemAlloc(unsigned long size);  ///< zero-filled; null after reporting code 0
void GneMemFree(void* memory);

/// Dialogs: 1 when the user chose, 0 when cancelled.
int GneGetLoadFileName(const char* extension, const char* filter, char* name);
int GneGetSaveFileName(char* name, const char* extension, const char* filter);
int GneGetOpenFolderName(unsigned long, const char* folder, char* name, unsigned long, char*);

/// Whole files
long GneGetFileSize(const char* path);
int GneLoadFile(const char* path, unsigned char* buffer, long* size);
int GneLoadFile(const char* path, unsigned char* buffer, long size);
int GneSaveFile(const char* path, const unsigned char* buffer, long size);
int GneLoadFileEx(char* name, const char* extension, const char* filter, unsigned char* buffer,
                  long* size);
int GneSaveFileEx(char* name, const char* extension, const char* filter,
                  const unsigned char* buffer, long size);

/// Largest file GneLoadFile reads (1 MiB): the callers' buffers hold as much.
inline constexpr long kGneMaxFileSize = 1048576;

/// Existence and folders
int GneIsFileExistWithoutMsg(const char* path);
int GneIsFolderExistWithoutMsg(const char* path);
int GneIsFileExist(const char* path);
int GneIsFolderExist(const char* path);
int GneGetCurrentDirectory(char* buffer);

/// Settings: integers under "section,key" in $XDG_CONFIG_HOME/retrograde/settings.
int GneGetProfileInt(const char* section, const char* key, int def);
int GneWriteProfileInt(const char* section, const char* key, int value);
/// Texts in the same file: the stored text, "" when none; 1 when written, 0
/// when the file cannot be written or the text would not stay on its line.
std::string GneGetProfileString(const char* section, const char* key);
int GneWriteProfileString(const char* section, const char* key, const std::string& value);

/// Messages
void GneErrorMsg(int code);
void GneMessageBox(const char* title, const char* text);
void GneWriteErrorMsg(const char* text);
void GneWriteInformationMsg(const char* text);
int GneWriteOptionMsg(const char* text);
const char* GneErrorName(int code);  ///< the name GneErrorMsg shows for a code

class MacUty {
public:
    MacUty() = default;
    ~MacUty() = default;
    static void MacMessageBox(const char* text);
    static char* toPascal(char* buffer, const char* text);
};

char* itoa(int value, char* destination, int radix);

/// Shift-JIS katakana: full width to half width, in place.
void GneSetSbcsKataKana(unsigned char* text);
void GneSetSbcsKataKanaA(unsigned char* text);
void GneSetSbcsKataKanaB(unsigned char* text);

/// Parsing. Word and part rows are 256 bytes; at most 16 rows are filled.
inline constexpr int kGneMaxWords = 16;
inline constexpr int kGneWordSize = 256;
int GneHexToI(const char* text);
int GneIsNumberString(const char* text);
int GneIsStringIncluded(const char* text, char* pattern);
int GneCompareStringWithWildCard(const char* pattern, const char* text);
int GneCountTrue(const bool* flags, int count);
int GneExtractCommandParam(const char* line, char (*words)[256]);
int GneGetParams(const char* text, char (*parts)[256]);
int GneGetParamRange(const char* text, int* from, int* to);
void GneGetCommandAndParam(const char* text, char* command, char* param);
void GneGetCommandAndParamAndOperator(const char* text, char* command, char* param, char* op);

/// Music arithmetic
int GneIsSimilerTone(int a, int b);
long GneClockToBpm(long tempo);
long GneBpmToClock(long bpm);
double GneDeltaTimeToSecond(int delta, int division, long tempo);
int GneNoteNameToNoteNumber(int mode, const char* name);
int GneGetInterval(int a, int b);
double GneGetTimeSignValue(int code);
void GneSetTimeSignData(int code, unsigned char* data, int* length);

/// Formatting
void GneGetTickText(char* text, int measure, int beat, int tick);
void GneGetMeasureBeatTickText(const char* text, int* measure, int* beat, int* tick);
void GneGetMinSecMSecText(char* text, double seconds);
int GneIsSC88BPort(const char* text);
int GneIsSC88APort(const char* text);
