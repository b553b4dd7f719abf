// The lookups of every class's message table.
#include "General/detail/ClassMessages.h"

#include <string>

#include "General/GeneralMac.h"

namespace retrograde::detail {

namespace {

void Show(std::string_view text) {
    GneWriteErrorMsg(std::string(text).c_str());
}

}  // namespace

int ShowError(const MessageTable& table, int code) {
    for (const MessageText& entry : table.texts) {
        if (entry.code == code) {
            Show(entry.text);
            return kGneFailure;
        }
    }
    Show(std::string(table.class_name) + "でエラーが発生しました。");
    return kGneFailure;
}

int ShowErrorOnce(const MessageTable& table, int code) {
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
