#include "probe/machine_info.hpp"

InfoRecord& MachineInfo()
{
    static InfoRecord record;
    return record;
}
