#include "app/command_line.hpp"
#include "app/single_evaluation.hpp"
#include "tests/core/fake_probe_run.hpp"
#include "tests/core/record_fixture.hpp"

#include "common/decimal.hpp"

#include <boost/lexical_cast.hpp>
#include <boost/program_options/errors.hpp>

#include <iterator>
#include <optional>
#include <random>
#include <stdexcept>

using Words = std::vector<std::string>;

TEST(CommandLine, NoOptionsIsDialogWithoutInfo)
{
    const CommandLine line = ParseCommandLine({});
    EXPECT_EQ(line.mode, RunMode::Dialog);
    EXPECT_FALSE(line.showInfo);
    EXPECT_FALSE(line.mute);
}

TEST(CommandLine, ModePrecedence)
{
    EXPECT_EQ(ParseCommandLine(Words{"--eval_file", "x", "--show_info", "--eval", "a|b|1"}).mode,
              RunMode::SingleEvaluation);
    EXPECT_EQ(ParseCommandLine(Words{"--show_info", "--eval_file=log.txt"}).mode,
              RunMode::BatchEvaluation);
    const CommandLine dialog = ParseCommandLine(Words{"--show_info", "--mute"});
    EXPECT_EQ(dialog.mode, RunMode::Dialog);
    EXPECT_TRUE(dialog.showInfo);
}

TEST(CommandLine, BoolWordsAndAbbreviations)
{
    EXPECT_FALSE(ParseCommandLine(Words{"--show_info=false"}).showInfo);
    EXPECT_TRUE(ParseCommandLine(Words{"--show_info=yes"}).showInfo);
    EXPECT_TRUE(ParseCommandLine(Words{"--mu"}).mute);
    EXPECT_TRUE(ParseCommandLine(Words{"--sh"}).showInfo);
    // "eval" is a whole name as well as the start of "eval_file": the exact name wins.
    const CommandLine exact = ParseCommandLine(Words{"--eval", "a|b|1"});
    EXPECT_EQ(exact.mode, RunMode::SingleEvaluation);
    EXPECT_EQ(exact.eval, "a|b|1");
    const CommandLine file = ParseCommandLine(Words{"--eval_f", "log"});
    EXPECT_EQ(file.mode, RunMode::BatchEvaluation);
    EXPECT_EQ(file.evalFile, "log");
}

TEST(CommandLine, RefusedCommandLines)
{
    const Words refused[] = {{"--unknown"},  {"--eval"},   {"--eval_file"}, {"--show_info=maybe"},
                             {"positional"}, {"--mute=2"}, {"--e", "a|b|1"}};
    for (const Words& words : refused)
        EXPECT_THROW(ParseCommandLine(words), boost::program_options::error) << words[0];
}

TEST(EvalValue, SplitsAtFirstAndLastBar)
{
    const EvalTriple triple = SplitEvalValue("A|B|C|4");
    EXPECT_EQ(triple.cpu, "A");
    EXPECT_EQ(triple.gpu, "B|C");
    EXPECT_EQ(triple.ramBytes, 4294967296u);
    EXPECT_EQ(SplitEvalValue(" x | y |0.5").ramBytes, 536870912u);
    EXPECT_EQ(SplitEvalValue(" x | y |0.5").cpu, " x ");
    EXPECT_EQ(SplitEvalValue("||1").gpu, "");
}

TEST(EvalValue, RefusesMalformedValues)
{
    for (const char* value : {"no bars", "one|bar", "a|b|", "a|b|x", "a|b|1.2.3", "a|b|-1",
                              "a|b|nan", "a|b|1e30", "a|b| 4"})
        EXPECT_THROW(SplitEvalValue(value), std::invalid_argument) << value;
}

// The memory field is read as a stream conversion of the whole text reads it (the first way the
// program did it): the same texts taken, the same bytes, over every kind of number text.
TEST(EvalValue, MemoryIsReadAsTheStreamConversionReadsIt)
{
    const auto expected = [](const std::string& text) -> std::optional<std::uint64_t> {
        double gigabytes = 0;
        if (!boost::conversion::try_lexical_convert(text, gigabytes))
            return std::nullopt;
        return TruncateToUInt64(gigabytes * 1073741824.0);
    };
    const auto actual = [](const std::string& text) -> std::optional<std::uint64_t> {
        try {
            return SplitEvalValue("c|g|" + text).ramBytes;
        } catch (const std::invalid_argument&) {
            return std::nullopt;
        }
    };
    std::vector<std::string> texts = {
        "+1",        "+-1",  "-+1",    "++1",         "1e-400",
        "1e400",     "0x10", "1.e1",   ".5",          "5.",
        ".",         "1e",   "1e+",    "1E3",         "inf",
        "+infinity", "NaN",  "nan(1)", "00.25",       "1,5",
        "4 ",        "",     "-0",     "17179869184", "1.0000000000000000000001"};
    std::mt19937 random(936);
    const std::string pieces[] = {"0", "1", "7", "9", ".", "e", "E", "+", "-", "x", " ", "inf"};
    std::uniform_int_distribution<std::size_t> piece(0, std::size(pieces) - 1), length(1, 8);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (std::size_t n = length(random); n > 0; --n)
            text += pieces[piece(random)];
        texts.push_back(text);
    }
    for (const std::string& text : texts)
        ASSERT_EQ(actual(text), expected(text)) << '"' << text << '"';
}

TEST_F(RecordTest, SingleEvaluationUsesOnlyTheTriple)
{
    gFakeProbeRuns = 0;
    const SingleEvaluation result = EvaluateTriple("cpu5000|gpu4000|8");
    EXPECT_EQ(result.message, "CPU: cpu5000\t5000\nGPU: gpu4000\t4000\nLevel: 2\nGainExtra: 271");
    EXPECT_EQ(result.gainExtra, 271);
    EXPECT_EQ(gFakeProbeRuns, 0);
    EXPECT_EQ(MachineInfo()["RAM Bytes"], "8589934592");
}

TEST_F(RecordTest, SingleEvaluationOfUnknownAdapterIsZero)
{
    const SingleEvaluation result = EvaluateTriple("cpu5000|A|B|4");
    EXPECT_EQ(result.message, "CPU: cpu5000\t5000\nGPU: A|B\t3000\nLevel: 3\nGainExtra: 244");
    const SingleEvaluation unknown = EvaluateTriple("cpu5000|nothing|4");
    EXPECT_EQ(unknown.message, "CPU: cpu5000\t5000\nGPU: nothing\t0\nLevel: 0\nGainExtra: 0");
    EXPECT_EQ(unknown.gainExtra, 0);
    // No core count in this mode: an unknown processor scores 0.
    EXPECT_EQ(EvaluateTriple("unknown|gpu4000|4").gainExtra, 0);
}
