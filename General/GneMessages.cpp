// The message sink, the alert hook and the functions that report through
// them: GneErrorMsg, GneMessageBox, GneWrite*Msg and MacUty.
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "General/GeneralMac.h"
#include "General/detail/ClassMessages.h"

namespace {

// Recursive, so a sink may itself report without dead-locking; the lock is
// held while the sink runs, which serialises messages and lets a setter wait
// for a running call to finish before the old sink goes away.
std::recursive_mutex& SinkMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}
GneMessageSink& CurrentSink() {
    static GneMessageSink sink;
    return sink;
}

// An alert may be modal: it runs outside any lock, so an alert waiting for
// "OK" on the window's thread never holds up the play thread or the timer.
// Each call keeps the hook it started with alive until it returns.
std::mutex& AlertMutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<const GneAlertHook>& CurrentAlert() {
    static std::shared_ptr<const GneAlertHook> hook;
    return hook;
}

void DeliverMessage(std::string_view text) {
    std::lock_guard lock(SinkMutex());
    try {
        if (CurrentSink()) {
            CurrentSink()(text);
            return;
        }
    } catch (...) {
        // A failing sink must not take the caller down; fall back to stderr.
    }
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

void DeliverAlert(std::string_view title, std::string_view text) {
    std::shared_ptr<const GneAlertHook> hook;
    {
        std::lock_guard lock(AlertMutex());
        hook = CurrentAlert();
    }
    try {
        if (hook && *hook) {
            (*hook)(title, text);
            return;
        }
    } catch (...) {
    }
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                 static_cast<int>(text.size()), text.data());
}

}  // namespace

GneMessageSink GneSetMessageSink(GneMessageSink sink) {
    std::lock_guard lock(SinkMutex());
    GneMessageSink previous = std::move(CurrentSink());
    CurrentSink() = std::move(sink);
    return previous;
}

GneAlertHook GneSetAlertHook(GneAlertHook hook) {
    auto replacement = hook ? std::make_shared<const GneAlertHook>(std::move(hook)) : nullptr;
    std::lock_guard lock(AlertMutex());
    std::shared_ptr<const GneAlertHook> previous = std::move(CurrentAlert());
    CurrentAlert() = std::move(replacement);
    return previous ? *previous : GneAlertHook();
}

namespace {

// The names GneErrorMsg shows, by alert code.
constexpr std::array kAlertNames = {
    retrograde::detail::MessageText{kGneErrNoMemory, "ERR_GNE_NOMEMORY"},
    retrograde::detail::MessageText{kGneErrOpenFile, "ERR_GNE_OPEN_FILE"},
    retrograde::detail::MessageText{kGneErrNotFile, "ERR_GNE_NOT_FILE"},
    retrograde::detail::MessageText{kGneErrNoFunction, "ERR_GNE_NOFUNCTION"},
    retrograde::detail::MessageText{kGneErrPlayerBusy, "ERR_GNE_PLAYER_BUSY"},
    retrograde::detail::MessageText{kGneErrHexDigit, "ERR_GNE_HEX_DIGIT"},
    retrograde::detail::MessageText{kGneErrParamRange, "ERR_GNE_PARAM_RANGE"},
    retrograde::detail::MessageText{kGneErrTimeSignature, "ERR_GNE_TIME_SIGNATURE"},
};

}  // namespace

const char* GneErrorName(int code) {
    for (const auto& entry : kAlertNames) {
        if (entry.code == code) return entry.text.data();  // literals: zero-terminated
    }
    return "ERR_GNE_UNKNOWN";
}

void GneErrorMsg(int code) {
    DeliverAlert("GeneralMac", GneErrorName(code));
}

void GneMessageBox(const char* title, const char* text) {
    DeliverAlert(title ? title : "", text ? text : "");
}

void GneWriteErrorMsg(const char* text) {
    MacUty::MacMessageBox(text);
}

void GneWriteInformationMsg(const char* text) {
    MacUty::MacMessageBox(text);
}

int GneWriteOptionMsg(const char* text) {
    MacUty::MacMessageBox(text);
    return 1;
}

void MacUty::MacMessageBox(const char* text) {
    // The length-prefixed form holds at most 255 bytes; the sink receives the
    // whole text, as a long message is still worth reading.
    char buffer[256];
    toPascal(buffer, text);
    DeliverMessage(text ? std::string_view(text) : std::string_view());
}

char* MacUty::toPascal(char* buffer, const char* text) {
    const std::size_t length = text ? std::strlen(text) : 0;
    const std::size_t kept = length > 255 ? 255 : length;  // one length byte, 255 text bytes
    buffer[0] = static_cast<char>(kept);
    if (kept > 0) std::memcpy(buffer + 1, text, kept);
    return buffer + 1;
}
