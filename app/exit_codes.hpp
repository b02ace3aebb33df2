#pragma once
// Exit codes of failures. Negative, so they never collide with a GainExtra (0 to 350).
constexpr int kExitCorruptData = -1;    // an embedded table or shader failed its digest check
constexpr int kExitBadCommandLine = -2; // the command line was refused
constexpr int kExitBatchFailed = -3;    // the probe log could not be read or its result written
constexpr int kExitNoDialog = -4;       // the UI library, its layout or its dialog is missing
