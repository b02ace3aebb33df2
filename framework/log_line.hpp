#pragma once
// One line of the framework log: "dd/mm/yyyy hh:mm:ss ", the level prefix, the text, a newline.
#include <ctime>
#include <string>

namespace Kordo {

// "(Error)\t", "(Warn)\t", "(Std) \t", "(Info) \t", "(Insan)\t" for 0 to 4, else "(Unkwn)\t".
const char* LogLevelPrefix(int level);

// Replaces `line` with the line for `text` logged at `when` (a local time).
void FormatLogLine(std::string& line, const std::tm& when, int level, const char* text);

} // namespace Kordo
