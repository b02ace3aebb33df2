#pragma once
// The page names machines as people talk about them: the system by its product name, memory
// sizes in the bands sold; the page's tallies count under these names. The stored texts (and so
// the export) stay as the program sent them.
// Stored texts are GBK; the names are UTF-8, and a text of another form comes back as UTF-8.
#include <string>

// "Windows 6.1, SP 1.0" -> "Windows 7"; 10.0 is "Windows 10 / 11" (the version cannot tell them
// apart).
std::string SystemName(const std::string& osText);

// "16220.45 MB" -> "16 GB": the nearest size sold (1, 2, 3, 4, 6, 8, 12, 16 or 24 GB), "< 1 GB"
// below, "≥ 32 GB" from 28 GB on.
std::string MemoryBand(const std::string& megabyteText);
