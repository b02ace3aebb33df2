#include "app/command_line.hpp"

#include "common/decimal.hpp"

#include <boost/lexical_cast.hpp>
#include <boost/program_options.hpp>

#include <stdexcept>

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
    double gigabytes = 0;
    if (!boost::conversion::try_lexical_convert(value.substr(last + 1), gigabytes))
        throw std::invalid_argument("eval memory is not a number");
    const std::optional<std::uint64_t> bytes = TruncateToUInt64(gigabytes * 1073741824.0);
    if (!bytes)
        throw std::invalid_argument("eval memory is out of range");

    EvalTriple triple;
    triple.cpu = value.substr(0, first);
    triple.gpu = value.substr(first + 1, last - first - 1);
    triple.ramBytes = *bytes;
    return triple;
}
