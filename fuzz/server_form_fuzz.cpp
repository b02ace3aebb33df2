// A report form as the server judges it, and the reply on its way back to the program: what
// decodes encodes back to the same values; the reply line is ASCII and the program reads the
// message in it as the server meant it; text bound for the page or the export cannot break out.
#include "fuzz/fuzz_check.hpp"

#include "report/report_fields.hpp"
#include "report/report_http.hpp"
#include "server/intake/report_decision.hpp"
#include "server/intake/result_message.hpp"
#include "server/intake/text_encoding.hpp"

namespace {

bool IsPrintableAscii(const std::string& text)
{
    for (const char c : text)
        if (c < 0x20 || c >= 0x7F)
            return false;
    return true;
}

// The program's reading of a reply the server wrote for `decision`.
std::string ProgramReads(Decision decision, const std::string& message)
{
    const std::string line = ReplyBody(decision, message);
    FuzzCheck(IsPrintableAscii(line), "the reply line is printable ASCII", line);
    try {
        return MessageFromBodyLine(line);
    } catch (const ReplicatedCommit& e) {
        FuzzCheck(decision == Decision::Repeated, "ret_code -1 means repeated", line);
        return e.what();
    } catch (const ServerRefusal& e) {
        FuzzCheck(decision < Decision::Repeated, "codes below -1 are refusals", line);
        return e.what();
    } catch (const std::exception& e) {
        FuzzCheck(false, "the program reads every reply the server writes", line + "\n" + e.what());
    }
    return {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body = FuzzText(data, size);
    const FormCheck check = CheckReportForm(body);
    if (!check.refusal || *check.refusal == Decision::TokenMismatch) {
        FuzzCheck(DecodeReportForm(EncodeReportForm(check.values)) == check.values,
                  "decoded values encode back to themselves");
        // The message names the parts as the form gave them.
        const ServerTables& tables = *ShippedServerTables();
        ProgramReads(Decision::Recorded,
                     RecordedMessage(check.values, RateReport(tables, check.values), {1, 2}, tables,
                                     nullptr));
    } else {
        ProgramReads(*check.refusal, RefusalMessage(*check.refusal));
    }

    // Any text the program sent, as the server's UTF-8, comes back as the program's bytes
    // where the code page holds it.
    const std::string utf8 = Utf8FromGbk(body);
    const std::string read = ProgramReads(Decision::Recorded, utf8);
    if (utf8.find("\xEF\xBF\xBD") == std::string::npos && IsPrintableAscii(body))
        FuzzCheck(read == body, "ASCII text comes back unchanged", body);

    const std::string page = HtmlEscape(Utf8FromGbk(body));
    FuzzCheck(page.find_first_of("<>\"'") == std::string::npos, "page text cannot open markup");
    return 0;
}
