#include "common/data_digest.hpp"

#include "common/md5.hpp"

// Must match the salt in cmake/make_digest_table.cmake, which generates the table below.
const std::string DataDigestSalt("\x4B\x71\x37\x23\x76\x4C\x32\x21\x77\x58\x39\x26\x06\x7A", 14);

const std::map<std::string, std::string>& DataDigestTable()
{
    static const std::map<std::string, std::string> table = {
#include "data_digest_table.inc"
    };
    return table;
}

std::string DataDigest(const std::string& bytes)
{
    return Md5Hex(bytes + DataDigestSalt);
}

bool DataDigestMatches(const std::string& fileName, const std::string& bytes)
{
    const auto& table = DataDigestTable();
    const auto entry = table.find(fileName);
    return entry == table.end() || entry->second == DataDigest(bytes);
}
