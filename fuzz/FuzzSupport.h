// Shared by the fuzz targets: messages are swallowed (the fuzzer prints enough).
#pragma once

#include "General/GneHooks.h"

inline void QuietMessages() {
    static const bool once = [] {
        GneSetMessageSink([](std::string_view) {});
        GneSetAlertHook([](std::string_view, std::string_view) {});
        return true;
    }();
    (void)once;
}
