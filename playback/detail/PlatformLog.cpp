// Silencing the platform libraries' own printing (see PlatformLog.h).
#include "playback/detail/PlatformLog.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <jack/jack.h>

#include <mutex>

namespace {

std::mutex& SynthErrorMutex() {
    static std::mutex mutex;
    return mutex;
}
std::string& SynthErrorText() {
    static std::string text;
    return text;
}

void KeepSynthError(int, const char* message, void*) {
    std::lock_guard lock(SynthErrorMutex());
    SynthErrorText() = message ? message : "";
}
void DropLog(int, const char*, void*) {}
void DropJackText(const char*) {}
void DropAlsaError(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

namespace retrograde::detail {

void QuietPlatformLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        snd_lib_error_set_handler(DropAlsaError);
        jack_set_error_function(DropJackText);
        jack_set_info_function(DropJackText);
        fluid_set_log_function(FLUID_PANIC, KeepSynthError, nullptr);
        fluid_set_log_function(FLUID_ERR, KeepSynthError, nullptr);
        fluid_set_log_function(FLUID_WARN, DropLog, nullptr);
        fluid_set_log_function(FLUID_INFO, DropLog, nullptr);
        fluid_set_log_function(FLUID_DBG, DropLog, nullptr);
    });
}

std::string LastSynthError() {
    std::lock_guard lock(SynthErrorMutex());
    return SynthErrorText();
}

}  // namespace retrograde::detail
