#pragma once
#include <functional>
#include <string>

// Runs every machine probe in its fixed order, fills the record and returns the summary text.
std::string GetProbeSummary();

// Told the name of each probe of a run and how long it took, in milliseconds.
using ProbeObserver = std::function<void(const char* probe, double milliseconds)>;

// The same run, reporting each probe's time to the observer.
std::string GetProbeSummary(const ProbeObserver& observe);
