#pragma once
// The canonical form of a device name: what remains the same however a driver or a processor's
// brand string happens to spell a device the score tables know.
#include <string>
#include <string_view>

// ASCII letters in lower case; trademark marks dropped ("(R)", "(TM)" in any case, the registered
// and trade mark signs in UTF-8 or Windows-1252 bytes, and the "?" a GBK text holds in their
// place); runs of blanks and tabs made one blank, none at either end; a leading vendor word
// ("NVIDIA", "AMD", "ATI", "Intel") and trailing "Series" and "Graphics" words dropped.
std::string CanonicalDeviceName(std::string_view name);

// The same, appended to a text (the canonical index keeps all its names in one).
void AppendCanonicalDeviceName(std::string& text, std::string_view name);
