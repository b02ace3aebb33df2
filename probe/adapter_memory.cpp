#include "probe/adapter_memory.hpp"

#include "common/trim_spaces.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"
#include "probe/probe_format.hpp"

#include <boost/algorithm/string/predicate.hpp>

namespace {

constexpr std::uint64_t kFourGiB = std::uint64_t{1} << 32;

} // namespace

int AdapterKeyIndex(const std::vector<AdapterDriverKey>& keys, const std::string& description)
{
    const std::string wanted = TrimSpaces(description);
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (!wanted.empty() && boost::algorithm::iequals(TrimSpaces(keys[i].description), wanted))
            return static_cast<int>(i);
    return keys.size() == 1 ? 0 : -1;
}

bool RecordFullVideoMemory(std::uint64_t bytes)
{
    if (bytes <= kFourGiB)
        return false;
    // Nearest float, then MiB in float, as the 32-bit figures are written.
    const std::string text = MegabyteText(static_cast<float>(bytes));
    InfoRecord& info = MachineInfo();
    info[InfoKey::LocalVideoMem] = text;
    info[InfoKey::TotalVideoMem] = text;
    return true;
}
