#include "probe/software_probe.hpp"

#include "probe/machine_info.hpp"

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
            info["VC10"] = "supported";
    }
    info["MSVC"] = list;
    return summary;
}

std::string RecordDirectXSupport(bool shaderCompiled)
{
    InfoRecord& info = MachineInfo();
    if (shaderCompiled)
        info["D3D9"] = "supported";
    const std::string text = shaderCompiled ? "D3D9;" : "";
    info["DirectX"] = text;
    return text;
}

std::string ShaderFailureText(const std::optional<std::string>& compilerMessage,
                              std::int32_t result)
{
    if (compilerMessage)
        return *compilerMessage;
    return (boost::format("D3D Error: %x") % static_cast<std::uint32_t>(result)).str();
}
