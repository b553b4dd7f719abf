// Result conventions shared by the whole library.
#pragma once

inline constexpr int kGneSuccess = 1;
inline constexpr int kGneFailure = 0;
inline constexpr int kGneNone = -1;  // nothing found, nothing to do
