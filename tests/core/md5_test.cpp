#include "common/data_digest.hpp"
#include "common/md5.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

// The test suite of RFC 1321, appendix A.5.
TEST(Md5, RfcTestSuite)
{
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("1234567890123456789012345678901234567890123456789012345678901234567890123456"
                     "7890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

// Padding boundaries: 55, 56 and 64 bytes need one or two extra blocks; bytes above 0x7F hash
// as raw bytes.
TEST(Md5, BlockBoundariesAndHighBytes)
{
    EXPECT_EQ(Md5Hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(Md5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
    EXPECT_EQ(Md5Hex("\xff\x80"), "8a72eb04e26e12be58f5dee1e5280efd");
}

TEST(DataDigest, SaltIsFourteenBytesAppended)
{
    ASSERT_EQ(DataDigestSalt.size(), 14u);
    EXPECT_EQ(DataDigestSalt[12], '\x06');
    EXPECT_EQ(DataDigest("abc"), Md5Hex(std::string("abc") + DataDigestSalt));
}

// The generated table holds the salted digests of the data files that are shipped.
TEST(DataDigest, TableMatchesShippedFiles)
{
    const auto& table = DataDigestTable();
    ASSERT_EQ(table.size(), 3u);
    for (const char* name : {"TestShader.txt", "cpu.txt", "gpu.txt"}) {
        std::ifstream file(std::string(VXM_RESOURCES_DIR) + "/" + name, std::ios::binary);
        ASSERT_TRUE(file) << name;
        std::ostringstream bytes;
        bytes << file.rdbuf();
        EXPECT_TRUE(DataDigestMatches(name, bytes.str())) << name;
        std::string changed = bytes.str();
        changed[changed.size() / 2] ^= 1;
        EXPECT_FALSE(DataDigestMatches(name, changed)) << name;
    }
    EXPECT_TRUE(DataDigestMatches("other.txt", "anything"));
}
