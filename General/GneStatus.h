/// @file
/// Result conventions shared by the whole library.
#pragma once

/// Done.
inline constexpr int kGneSuccess = 1;
/// Refused or failed, reported.
inline constexpr int kGneFailure = 0;
inline constexpr int kGneNone = -1;  ///< nothing found, nothing to do

/// Codes that every class's ErrorMsg and ErrorMsgOnce take besides its own
/// (General/detail/ClassMessages.h).
inline constexpr int kErrGeneral = 0;    ///< ErrorMsg: "\<class name\>でエラーが発生しました。"
inline constexpr int kErrClearOnce = 0;  ///< ErrorMsgOnce: clears the class's once flags
