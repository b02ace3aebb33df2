#pragma once
// The gain each level is given and the level code a report carries for it. The evaluation
// computes by them and the report server accepts only the gains they allow, so both read this.

constexpr int kLevelCount = 5;
// Gain bands by level index (level - 1): the gain ("GainExtra") is interpolated within the band;
// a band of 0 to 0 draws it from 1 to kDrawnGainMax instead.
constexpr int kGainLow[kLevelCount] = {341, 251, 151, 0, 0};
constexpr int kGainHigh[kLevelCount] = {350, 340, 250, 0, 0};
constexpr int kDrawnGainMax = 50;
// The reported gain ("Gain") is the gain plus this.
constexpr int kGainBase = 500;
// The level code the report carries for each level index.
constexpr const char* kReportedLevelCodes[kLevelCount] = {"1", "1", "3", "5", "5"};

// The lowest and highest gain ("GainExtra") a level index can be given.
struct GainRange {
    int low, high;
};
constexpr GainRange GainRangeOf(int levelIndex)
{
    return kGainHigh[levelIndex] == 0 ? GainRange{1, kDrawnGainMax}
                                      : GainRange{kGainLow[levelIndex], kGainHigh[levelIndex]};
}
