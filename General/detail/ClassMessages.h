// The one shape of a class's messages: a constexpr table from the class's
// named error codes to its texts, and the two lookups behind every
// ErrorMsg(int) and ErrorMsgOnce(int). A code carries its class in the top
// byte; a code the table does not know shows "<class name>でエラーが発生しました。".
// Every text goes to the message sink (GneWriteErrorMsg).
//
// A class of the library takes its messages like this:
//
//   // MidiFoo.h
//   inline constexpr int kErrFooInternal = 0x33000001;
//   inline constexpr int kErrFooTooLong = 0x33000002;  // ErrorMsgOnce
//
//   // MidiFoo.cpp
//   namespace {
//   using retrograde::detail::MessageText;
//   using retrograde::detail::OnceText;
//   constexpr std::array kFooTexts = {
//       MessageText{kErrFooInternal, "MidiFooで内部エラーが発生しました。"},
//   };
//   std::atomic<bool> too_long{false};  // process-wide, as every once flag
//   constexpr std::array kFooOnceTexts = {
//       OnceText{kErrFooTooLong, "データが長すぎます。", &too_long},
//   };
//   constexpr retrograde::detail::MessageTable kFooMessages{"MidiFoo", kFooTexts, kFooOnceTexts};
//   }  // namespace
//
//   int MidiFoo::ErrorMsg(int code) { return ShowError(kFooMessages, code); }
//   int MidiFoo::ErrorMsgOnce(int code) { return ShowErrorOnce(kFooMessages, code); }
#pragma once

#include <atomic>
#include <span>
#include <string_view>

namespace retrograde::detail {

struct MessageText {
    int code;
    std::string_view text;  // a string literal
};

// A message shown once until the class's flags are cleared. Several messages
// may share one flag.
struct OnceText {
    int code;
    std::string_view text;
    std::atomic<bool>* flag;
    bool per_process = false;  // ErrorMsgOnce(kErrClearOnce) leaves the flag set
};

struct MessageTable {
    std::string_view class_name;  // for the text of codes the table does not know
    std::span<const MessageText> texts;
    std::span<const OnceText> once = {};
};

// Shows the text of code (the class's general text when the table lacks it).
// Returns 0, the result of every ErrorMsg.
int ShowError(const MessageTable& table, int code) noexcept;
// kErrClearOnce clears the class's flags; a once message is shown when its flag
// was clear, then the flag is set; any other code is shown as ShowError does.
// Returns 0.
int ShowErrorOnce(const MessageTable& table, int code) noexcept;

}  // namespace retrograde::detail
