#include "app/command_line.hpp"

#include "common/decimal.hpp"

#include <boost/lexical_cast.hpp>
#include <boost/program_options.hpp>

#include <charconv>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace po = boost::program_options;

namespace {

po::options_description OptionSet()
{
    po::options_description options("options", 80, 40);
    options.add_options()                                                                //
        ("show_info", po::value<bool>()->default_value(false)->implicit_value(true), "") //
        ("eval", po::value<std::string>(), "")                                           //
        ("eval_file", po::value<std::string>(), "")                                      //
        ("mute", po::value<bool>()->default_value(false)->implicit_value(true), "");
    return options;
}

// The memory field as a stream conversion of the whole text reads it. from_chars gives the same
// value for every text it takes whole; a stream conversion on Windows switches the C locale to
// "C" and back around the number, and switching back to the program's Chinese locale costs a
// search of the system's locales (about a millisecond under Wine, a tenth of a single
// evaluation). Only what from_chars does not take ("+1", "1e-400", refusals) goes the slow way.
std::optional<double> MemoryGigabytes(std::string_view text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (!text.empty() && error == std::errc() && stop == end)
        return value;
    if (!boost::conversion::try_lexical_convert(text.data(), text.size(), value))
        return std::nullopt;
    return value;
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& words)
{
    const po::options_description options = OptionSet();
    po::variables_map map;
    // No positional options: a word that is no option is refused, not silently dropped.
    const po::positional_options_description noPositional;
    po::store(po::command_line_parser(words).options(options).positional(noPositional).run(), map);
    po::notify(map);

    CommandLine line;
    line.showInfo = map["show_info"].as<bool>();
    line.mute = map["mute"].as<bool>();
    if (map.count("eval")) {
        line.mode = RunMode::SingleEvaluation;
        line.eval = map["eval"].as<std::string>();
    } else if (map.count("eval_file")) {
        line.mode = RunMode::BatchEvaluation;
        line.evalFile = map["eval_file"].as<std::string>();
    }
    return line;
}

EvalTriple SplitEvalValue(const std::string& value)
{
    const std::size_t first = value.find('|');
    const std::size_t last = value.rfind('|');
    if (first == std::string::npos || first == last)
        throw std::invalid_argument("eval needs processor|adapter|memory");
    const std::optional<double> gigabytes =
        MemoryGigabytes(std::string_view(value).substr(last + 1));
    if (!gigabytes)
        throw std::invalid_argument("eval memory is not a number");
    const std::optional<std::uint64_t> bytes = TruncateToUInt64(*gigabytes * 1073741824.0);
    if (!bytes)
        throw std::invalid_argument("eval memory is out of range");

    EvalTriple triple;
    triple.cpu = value.substr(0, first);
    triple.gpu = value.substr(first + 1, last - first - 1);
    triple.ramBytes = *bytes;
    return triple;
}
