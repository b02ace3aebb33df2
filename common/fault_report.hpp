#pragma once
// How the program reports a fault that no one is shown: one debugger line
// "[VxmCheck] room: what happened". The loader's "[Kordo_Error] " lines, the upload's typed
// errors and the integrity check's exit keep forms of their own.
#include <string>

// `room` names where the fault arose (probe, korfact, ...).
void ReportFault(const char* room, const std::string& what);
