#pragma once
// The operator's export: stored reports as CSV lines (UTF-8, RFC 4180 quoting), by default made
// safe to open in a spreadsheet program, or raw for programs.
#include "server/store/report_store.hpp"

#include <optional>
#include <string>
#include <string_view>

struct ExportOptions {
    // The stored bytes, for programs: each field as received (in the sender's code page), no
    // byte-order mark and no cell neutralised.
    bool raw = false;
    // Only reports stored after the one with this id (the first column), for incremental pulls.
    std::int64_t afterId = 0;
};

// Header "id,received,peer,u,mc,...,tk,level,cpu_band,gpu_band,ram_band" (the last four the
// server's rating, empty until the report is rated), then one line per report in id order, handed
// to `write` in blocks as they are made, so memory stays flat however many reports there are.
// Without `raw` the text starts with a UTF-8 byte-order mark (spreadsheets otherwise read UTF-8 in
// the system's code page) and a cell that a spreadsheet would take for a formula is neutralised.
// The time is written as UTC "YYYY-MM-DD hh:mm:ss"; without `raw`, field values are converted
// from GBK, a byte that is not GBK written "\xNN".
void WriteCsv(ReportStore& store, const ExportOptions& options,
              const std::function<void(const std::string&)>& write);

// The export's media type: the raw form claims no character set, its fields being in the
// senders' code pages.
const char* CsvContentType(const ExportOptions& options);

// Header "device,name,reports", then one line per name of recorded reports that the score
// tables do not rate ("cpu" or "gpu", the name from GBK, how many reports carry it), processors
// first, each kind most reported first; in blocks, quoted and marked as WriteCsv does.
void WriteUnknownDevicesCsv(ReportStore& store, bool raw,
                            const std::function<void(const std::string&)>& write);

// One report's line, without the line end.
std::string CsvLine(const StoredReport& report, bool raw);

// "YYYY-MM-DD hh:mm:ss" (UTC) of seconds since 1970.
std::string UtcTimeText(std::int64_t seconds);
