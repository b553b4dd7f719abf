// The lookups of every class's message table.
#include "General/detail/ClassMessages.h"

#include <cstdio>

#include "General/GeneralMac.h"

namespace retrograde::detail {

namespace {

// Every text of a table is a string literal, so its data is zero-terminated.
// Nothing here allocates: destructors report through these lookups.
void Show(std::string_view literal) {
    GneWriteErrorMsg(literal.data());
}

void ShowGeneral(std::string_view class_name) {
    char text[160];
    std::snprintf(text, sizeof text, "%.*sでエラーが発生しました。",
                  static_cast<int>(class_name.size()), class_name.data());
    GneWriteErrorMsg(text);
}

}  // namespace

int ShowError(const MessageTable& table, int code) noexcept {
    for (const MessageText& entry : table.texts) {
        if (entry.code == code) {
            Show(entry.text);
            return kGneFailure;
        }
    }
    ShowGeneral(table.class_name);
    return kGneFailure;
}

int ShowErrorOnce(const MessageTable& table, int code) noexcept {
    if (code == kErrClearOnce) {
        for (const OnceText& entry : table.once) {
            if (!entry.per_process) entry.flag->store(false);
        }
        return kGneFailure;
    }
    for (const OnceText& entry : table.once) {
        if (entry.code != code) continue;
        if (!entry.flag->exchange(true)) Show(entry.text);
        return kGneFailure;
    }
    return ShowError(table, code);
}

}  // namespace retrograde::detail
