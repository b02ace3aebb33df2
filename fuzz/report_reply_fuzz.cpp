// The server's reply as the upload judges it, fed from memory: status line, headers, body line,
// its \u escapes and the JSON. Only the errors the upload names may leave; the decoder takes
// exactly the escapes of its pattern; code-page bytes of a message come back unchanged.
#include "fuzz/fuzz_check.hpp"

#include "report/ansi_text.hpp"
#include "report/report_http.hpp"

#include <boost/property_tree/ptree.hpp>

#include <cctype>
#include <regex>
#include <sstream>
#include <typeinfo>

namespace {

// Every match of "\\u[0-9A-Fa-f]{4}", left to right and without overlap, replaced by its code
// unit in the code page; the rest copied.
std::string ReferenceDecode(const std::string& line)
{
    static const std::regex escape("\\\\u[0-9A-Fa-f]{4}", std::regex::ECMAScript);
    std::string decoded;
    auto copied = line.begin();
    for (std::sregex_iterator it(line.begin(), line.end(), escape), end; it != end; ++it) {
        decoded.append(copied, (*it)[0].first);
        decoded += AnsiFromCodeUnit(
            static_cast<std::uint16_t>(std::stoul((*it)[0].str().substr(2), nullptr, 16)));
        copied = (*it)[0].second;
    }
    return decoded.append(copied, line.end());
}

// Whether the status line's code, as written, is 200 (leading zeros allowed).
bool WritesStatus200(const std::string& reply)
{
    std::istringstream stream(reply);
    std::string version;
    std::string code;
    stream >> version >> code;
    code.erase(0, code.find_first_not_of('0'));
    return code.compare(0, 3, "200") == 0 && (code.size() == 3 || !std::isdigit(code[3]));
}

void CheckJudgement(const std::string& reply)
{
    std::istringstream stream(reply);
    bool restRead = false;
    const auto readRest = [&] {
        FuzzCheck(WritesStatus200(reply), "only a status written 200 is taken as success", reply);
        restRead = true;
    };
    try {
        JudgeReply(stream, readRest);
        FuzzCheck(restRead, "a returned message comes after the rest was read");
    } catch (const ReplicatedCommit&) {
    } catch (const ServerRefusal&) {
    } catch (const boost::property_tree::ptree_error&) {
        // Parse, path and conversion errors of the body.
    } catch (const std::exception& e) {
        const std::string what = e.what();
        const bool named =
            (typeid(e) == typeid(std::runtime_error) &&
             (what == "Invalid response" ||
              (what.rfind("Response returned with status code ", 0) == 0 && !restRead)));
        FuzzCheck(named, "only the upload's own errors leave the judgement",
                  typeid(e).name() + (": " + what));
    }
}

// A message of arbitrary code-page bytes (quote, backslash and control bytes left out) in a
// well-formed reply line comes back byte for byte.
void CheckMessageBytes(const std::string& bytes)
{
    std::string message;
    for (const char c : bytes)
        if (c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20)
            message += c;
    const std::string line = "{\"ret_code\":0,\"msg\":\"" + message + "\"}";
    std::string returned;
    try {
        returned = MessageFromBodyLine(line);
    } catch (const std::exception& e) {
        FuzzCheck(false, "a well-formed reply line is judged", line + "\n" + e.what());
    }
    FuzzCheck(returned == message, "message bytes come back unchanged", line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string reply = FuzzText(data, size);
    RunOnProductStack([&] { CheckJudgement(reply); });

    std::istringstream stream(reply);
    const std::string body = ReadBodyLine(stream);
    FuzzCheck(DecodeUnicodeEscapes(body) == ReferenceDecode(body),
              "the decoder takes exactly the escapes of its pattern", body);
    CheckMessageBytes(body);
    return 0;
}
