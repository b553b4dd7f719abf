// The play button's title: set by the window, and reset when a song ends by
// itself, a change that starts on the timer's thread.
#pragma once

class QPushButton;

inline constexpr const char* kPlayTitle = "Play";
inline constexpr const char* kStopTitle = "Stop";

// Sets the title and the matching icon; GUI thread only.
void SetPlayButtonTitle(QPushButton* button, const char* title);
// Marks the start of a play, so that the end of an earlier one that is still
// on its way to the GUI thread leaves the button alone.
void NotePlayStarted();
// The title hook of the stop callback (any thread): hands the change to the
// GUI thread and returns at once, never touching a widget itself.
void QueueStopButtonTitle(void* button, const char* title);
