#include "probe/software_probe.hpp"

#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"

#include <boost/format.hpp>

#include <set>

std::string RecordMsvcRuntimes(const std::vector<std::string>& displayNames)
{
    std::set<std::string> runtimes; // byte order; a name under both registry views counts once
    for (const std::string& name : displayNames)
        if (name.find("Visual C++") != std::string::npos)
            runtimes.insert(name);

    InfoRecord& info = MachineInfo();
    std::string summary;
    std::string list;
    for (const std::string& name : runtimes) {
        summary += "\n\t" + name;
        list += name + ";";
        if (name.find("2010") != std::string::npos)
            info[InfoKey::VC10] = "supported";
    }
    info[InfoKey::MSVC] = list;
    return summary;
}

std::string RecordDirectXSupport(bool shaderCompiled)
{
    InfoRecord& info = MachineInfo();
    if (shaderCompiled)
        info[InfoKey::D3D9] = "supported";
    // The value names the key that says the shader compiled.
    const std::string text = shaderCompiled ? std::string(InfoKey::D3D9) + ";" : "";
    info[InfoKey::DirectX] = text;
    return text;
}

std::string ShaderFailureText(const std::optional<std::string>& compilerMessage,
                              std::int32_t result)
{
    if (compilerMessage)
        return *compilerMessage;
    return (boost::format("D3D Error: %x") % static_cast<std::uint32_t>(result)).str();
}
