/// @file
/// The stop callback: what runs when a song ends by itself. The window
/// registers a function and its play button; the sequencer's timer calls the
/// function after the last event. The GUI lives elsewhere, so the button is
/// an opaque pointer and its title reaches it through a hook.
#pragma once

#include <atomic>

using StopCallBackType = void (*)();  ///< told when playback stops
/// Sets the title of the window's play button; installed by the window. It
/// is called on the timer's thread and must hand the change over to the GUI.
using StopButtonTitleHook = void (*)(void* button, const char* title);

extern std::atomic<StopCallBackType> StopCallBackFunc;  ///< called when playback stops; may be null
extern std::atomic<void*> StopButton;                   ///< the window's play button, opaque

/// Stores the function and the button.
void SetStopCallback(StopCallBackType func, void* button);
/// Calls the stored function, if any.
void CallStopFunc();
/// The window's callback: the stored button's title becomes "Play".
void CallbackStop();
/// Installs the hook CallbackStop uses (null: titles go nowhere); returns the
/// previous one.
StopButtonTitleHook SetStopButtonTitleHook(StopButtonTitleHook hook);
