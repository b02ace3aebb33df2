// The parameter bag: one map per value type, flag words, shared iteration position, copying.
#include "framework/variable_param.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Kordo::CVariableParam2;

namespace {

// A bag that notes every store it receives, to see what CopyTo sends and in which order.
class RecordingParam : public CVariableParam2 {
  public:
    std::vector<std::string> calls;

    int SetInt(unsigned key, int value) override
    {
        Note("int", key, std::to_string(value));
        return CVariableParam2::SetInt(key, value);
    }
    int SetBool(unsigned key, bool value) override
    {
        Note("bool", key, std::to_string(value));
        return CVariableParam2::SetBool(key, value);
    }
    int SetFloat(unsigned key, float value) override
    {
        Note("float", key, std::to_string(value));
        return CVariableParam2::SetFloat(key, value);
    }
    int SetUInt(unsigned key, unsigned value) override
    {
        Note("uint", key, std::to_string(value));
        return CVariableParam2::SetUInt(key, value);
    }
    int SetString(unsigned key, const char* text) override
    {
        Note("text", key, text);
        return CVariableParam2::SetString(key, text);
    }
    void SetFlag(unsigned key, unsigned word, bool combine) override
    {
        Note(combine ? "flag|" : "flag&", key, std::to_string(word));
        CVariableParam2::SetFlag(key, word, combine);
    }
    void Clear() override
    {
        calls.push_back("clear");
        CVariableParam2::Clear();
    }

  private:
    void Note(const char* kind, unsigned key, const std::string& value)
    {
        calls.push_back(std::string(kind) + " " + std::to_string(key) + "=" + value);
    }
};

void FillEveryType(CVariableParam2& bag, unsigned key)
{
    EXPECT_EQ(bag.SetInt(key, -7) + bag.SetString(key, "seven") + bag.SetUInt(key, 0xFFFFFFF0u) +
                  bag.SetBool(key, true) + bag.SetFloat(key, 2.5f),
              5);
}

int Present(CVariableParam2& bag, unsigned key)
{
    return bag.HasInt(key) + bag.HasString(key) + bag.HasUInt(key) + bag.HasBool(key) +
           bag.HasFloat(key) + bag.HasFlag(key);
}

} // namespace

TEST(VariableParam, EachTypeKeepsItsOwnEntryForTheSameKey)
{
    CVariableParam2 bag;
    FillEveryType(bag, 3);
    EXPECT_EQ(bag.GetInt(3, false), -7);
    EXPECT_STREQ(bag.GetStringPtr(3), "seven");
    EXPECT_EQ(bag.GetUInt(3, false), 0xFFFFFFF0u);
    EXPECT_TRUE(bag.GetBool(3, false));
    EXPECT_EQ(bag.GetFloat(3, false), 2.5f);
    bag.RemoveInt(3);
    EXPECT_EQ(bag.HasInt(3), 0);
    EXPECT_EQ(bag.HasString(3), 1); // the text under the same key stays
    bag.RemoveString(3);
    EXPECT_EQ(Present(bag, 3), 3);
    bag.RemoveUInt(3);
    bag.RemoveBool(3);
    bag.RemoveFloat(3);
    EXPECT_EQ(Present(bag, 3), 0);
}

TEST(VariableParam, AbsentEntriesReadAsZeroAndGettingCanRemove)
{
    CVariableParam2 bag; // no map made yet
    EXPECT_EQ(bag.GetInt(1, true) + bag.GetBool(1, true) + bag.GetUInt(1, true) +
                  bag.GetFloat(1, true) + bag.GetStringLength(1) + bag.GetFlag(1, true),
              0);
    EXPECT_EQ(bag.GetStringPtr(1), nullptr);
    bag.RemoveInt(1);
    bag.RemoveFlag(1);

    FillEveryType(bag, 8);
    EXPECT_EQ(bag.GetInt(8, true), -7);
    EXPECT_EQ(bag.GetInt(8, false), 0);
    EXPECT_TRUE(bag.GetBool(8, true));
    EXPECT_EQ(bag.GetUInt(8, true), 0xFFFFFFF0u);
    EXPECT_EQ(bag.GetFloat(8, true), 2.5f);
    EXPECT_EQ(Present(bag, 8), 1);      // only the text is left
    EXPECT_EQ(bag.GetInt(9, false), 0); // a made map without the key
}

TEST(VariableParam, TextsAreCopiesAndCopiedOutOnlyWhenTheTerminatorFits)
{
    CVariableParam2 bag;
    char text[] = "abcd";
    bag.SetString(4, text);
    text[0] = 'X';
    EXPECT_STREQ(bag.GetStringPtr(4), "abcd");
    EXPECT_EQ(bag.GetStringLength(4), 4u);
    EXPECT_EQ(bag.SetString(4, nullptr), 0);
    EXPECT_EQ(bag.SetString(5, nullptr), 0);
    EXPECT_EQ(bag.HasString(5), 0);

    char buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(bag.GetString(4, buffer, 4, true), 0); // capacity equal to the length
    EXPECT_EQ(std::string(buffer, 8), "xxxxxxxx");
    EXPECT_EQ(bag.GetString(4, nullptr, 8, true), 0);
    EXPECT_EQ(bag.HasString(4), 1); // no copy, so no removal
    EXPECT_EQ(bag.GetString(4, buffer, 5, false), 1);
    EXPECT_EQ(std::string(buffer, 8), std::string("abcd\0xxx", 8));
    EXPECT_EQ(bag.GetString(4, buffer, 8, true), 1);
    EXPECT_EQ(bag.HasString(4), 0);
    bag.SetString(6, "检测"); // GBK bytes pass through
    EXPECT_EQ(bag.GetStringLength(6), 4u);
}

TEST(VariableParam, SetOverloadsStoreByArgumentType)
{
    CVariableParam2 bag;
    bag.Set(1, -1);
    bag.Set(2, "two");
    bag.Set(3, 3u);
    bag.Set(4, true);
    bag.Set(5, 5.5f);
    EXPECT_EQ(bag.GetInt(1, false), -1);
    EXPECT_STREQ(bag.GetStringPtr(2), "two");
    EXPECT_EQ(bag.GetUInt(3, false), 3u);
    EXPECT_TRUE(bag.GetBool(4, false));
    EXPECT_EQ(bag.GetFloat(5, false), 5.5f);
    EXPECT_EQ(
        Present(bag, 1) + Present(bag, 2) + Present(bag, 3) + Present(bag, 4) + Present(bag, 5), 5);
    EXPECT_EQ(bag.Set(6, static_cast<const char*>(nullptr)), 0);
}

TEST(VariableParam, FlagsCombineByOrAndByAnd)
{
    CVariableParam2 bag;
    bag.SetFlag(5, 0x0F, false); // absent: stored as given
    EXPECT_EQ(bag.GetFlag(5, false), 0x0Fu);
    bag.SetFlag(5, 0x3C, true);
    EXPECT_EQ(bag.GetFlag(5, false), 0x3Fu);
    bag.SetFlag(5, 0x30, false);
    EXPECT_EQ(bag.GetFlag(5, false), 0x30u);
    bag.SetFlag(6, 0x80, true);
    EXPECT_EQ(bag.GetFlag(6, true), 0x80u);
    EXPECT_EQ(bag.HasFlag(6), 0);
    bag.RemoveFlag(5);
    EXPECT_EQ(bag.HasFlag(5), 0);
    bag.SetFlag(7, 1, true);
    bag.ClearFlags();
    EXPECT_EQ(bag.HasFlag(7), 0);
}

TEST(VariableParam, ClearEmptiesEveryTypeAndTheFlags)
{
    CVariableParam2 bag;
    FillEveryType(bag, 1);
    bag.SetFlag(1, 1, true);
    bag.Clear();
    EXPECT_EQ(Present(bag, 1), 0);
    unsigned key = 0;
    int value = 0;
    EXPECT_EQ(bag.FirstInt(key, value), 0);
    bag.SetInt(2, 2); // usable again
    EXPECT_EQ(bag.GetInt(2, false), 2);
}

TEST(VariableParam, IterationWalksKeysInAscendingOrder)
{
    CVariableParam2 bag;
    unsigned key = 77;
    int value = 77;
    EXPECT_EQ(bag.FirstInt(key, value) + bag.NextInt(key, value), 0); // no map
    EXPECT_EQ(key, 77u);
    for (unsigned k : {30u, 10u, 0xFFFFFFFFu, 20u})
        bag.SetInt(k, static_cast<int>(k % 100));
    std::vector<unsigned> seen;
    for (int more = bag.FirstInt(key, value); more; more = bag.NextInt(key, value))
        seen.push_back(key);
    EXPECT_EQ(seen, (std::vector<unsigned>{10, 20, 30, 0xFFFFFFFFu}));
    EXPECT_EQ(value, 95);                  // 0xFFFFFFFF % 100
    EXPECT_EQ(bag.NextInt(key, value), 0); // stays at the end

    // Every type walks its own map.
    bag.SetUInt(2, 20);
    bag.SetUInt(1, 10);
    bag.SetBool(9, true);
    bag.SetFloat(4, 4.0f);
    unsigned u = 0;
    bool b = false;
    float f = 0;
    ASSERT_EQ(bag.FirstUInt(key, u) + bag.NextUInt(key, u), 2);
    EXPECT_EQ(key, 2u);
    EXPECT_EQ(u, 20u);
    EXPECT_EQ(bag.NextUInt(key, u), 0);
    ASSERT_EQ(bag.FirstBool(key, b), 1);
    EXPECT_TRUE(b);
    EXPECT_EQ(bag.NextBool(key, b), 0);
    ASSERT_EQ(bag.FirstFloat(key, f), 1);
    EXPECT_EQ(key, 4u);
    EXPECT_EQ(f, 4.0f);
    EXPECT_EQ(bag.NextFloat(key, f), 0);
}

TEST(VariableParam, AllTypesShareOneIterationPosition)
{
    CVariableParam2 bag;
    for (unsigned key = 1; key <= 3; ++key) {
        bag.SetInt(key, static_cast<int>(key) * 10);
        bag.SetUInt(key + 100, key);
    }
    unsigned key = 0;
    int value = 0;
    unsigned uvalue = 0;
    ASSERT_EQ(bag.FirstInt(key, value) + bag.NextInt(key, value), 2); // position 2
    ASSERT_EQ(bag.NextUInt(key, uvalue), 1); // the unsigned walk goes on at the third entry
    EXPECT_EQ(key, 103u);
    EXPECT_EQ(bag.NextInt(key, value), 0); // position 3 is past the ints
    ASSERT_EQ(bag.FirstUInt(key, uvalue) + bag.NextInt(key, value), 2);
    EXPECT_EQ(key, 2u); // the int walk resumes at its second entry
}

TEST(VariableParam, TextIterationStopsWithoutAdvancingWhenTheTextDoesNotFit)
{
    CVariableParam2 bag;
    bag.SetString(2, "longer");
    bag.SetString(1, "ab");
    unsigned key = 0;
    char buffer[8] = {};
    EXPECT_EQ(bag.FirstString(key, buffer, 2), 0); // "ab" needs 3
    EXPECT_EQ(bag.FirstString(key, nullptr, 8), 0);
    ASSERT_EQ(bag.FirstString(key, buffer, 3), 1);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(bag.NextString(key, buffer, 6), 0); // "longer" needs 7
    EXPECT_EQ(key, 1u);
    EXPECT_STREQ(buffer, "ab");
    ASSERT_EQ(bag.NextString(key, buffer, 7), 1); // still the second entry
    EXPECT_EQ(key, 2u);
    EXPECT_STREQ(buffer, "longer");
    EXPECT_EQ(bag.NextString(key, buffer, 8), 0);
}

TEST(VariableParam, CopyToStoresIntsBoolsFloatsUIntsTextsThenFlags)
{
    CVariableParam2 source;
    source.SetString(1, "t");
    source.SetUInt(2, 7);
    source.SetFloat(3, 0.5f);
    source.SetBool(4, true);
    source.SetInt(6, -6);
    source.SetInt(5, 5);
    source.SetFlag(9, 0x0C, true);
    RecordingParam target;
    target.SetFlag(9, 0x03, true);
    target.SetInt(100, 1);
    target.calls.clear();

    source.CopyTo(&target, false);
    EXPECT_EQ(target.calls,
              (std::vector<std::string>{"int 5=5", "int 6=-6", "bool 4=1", "float 3=0.500000",
                                        "uint 2=7", "text 1=t", "flag| 9=12"}));
    EXPECT_EQ(target.GetFlag(9, false), 0x0Fu); // ORed into the target's word
    EXPECT_EQ(target.GetInt(100, false), 1);    // the target's own entries stay

    target.calls.clear();
    source.CopyTo(&target, true);
    ASSERT_EQ(target.calls.size(), 8u);
    EXPECT_EQ(target.calls.front(), "clear");
    EXPECT_EQ(target.HasInt(100), 0);
    EXPECT_EQ(target.GetFlag(9, false), 0x0Cu);
    source.CopyTo(nullptr, true);
    EXPECT_EQ(source.GetInt(5, false), 5);
}

TEST(VariableParam, CopyOneEntryToAnotherBag)
{
    CVariableParam2 source;
    FillEveryType(source, 1);
    source.SetFlag(1, 0x10, true);
    CVariableParam2 target;
    target.SetFlag(1, 0x01, true);
    EXPECT_EQ(source.CopyIntTo(&target, 1) + source.CopyBoolTo(&target, 1) +
                  source.CopyUIntTo(&target, 1) + source.CopyFloatTo(&target, 1) +
                  source.CopyStringTo(&target, 1) + source.CopyFlagTo(&target, 1),
              6);
    EXPECT_EQ(target.GetInt(1, false), -7);
    EXPECT_TRUE(target.GetBool(1, false));
    EXPECT_EQ(target.GetUInt(1, false), 0xFFFFFFF0u);
    EXPECT_EQ(target.GetFloat(1, false), 2.5f);
    EXPECT_STREQ(target.GetStringPtr(1), "seven");
    EXPECT_NE(target.GetStringPtr(1), source.GetStringPtr(1));
    EXPECT_EQ(target.GetFlag(1, false), 0x11u);

    EXPECT_EQ(source.CopyIntTo(&target, 2) + source.CopyBoolTo(&target, 2) +
                  source.CopyUIntTo(&target, 2) + source.CopyFloatTo(&target, 2) +
                  source.CopyStringTo(&target, 2) + source.CopyFlagTo(&target, 2),
              0);
    EXPECT_EQ(source.CopyIntTo(nullptr, 1) + source.CopyBoolTo(nullptr, 1) +
                  source.CopyUIntTo(nullptr, 1) + source.CopyFloatTo(nullptr, 1) +
                  source.CopyStringTo(nullptr, 1) + source.CopyFlagTo(nullptr, 1),
              0);
    EXPECT_EQ(Present(target, 2), 0);
}

TEST(VariableParam, IsComponent282AndDestroysItself)
{
    Kordo::IComponent* component = new CVariableParam2;
    EXPECT_EQ(component->GetComponentId(), 282u);
    EXPECT_EQ(component->GetVersion(), 1);
    EXPECT_EQ(component->IsSingleton(), 0);
    component->Initialize(0);
    auto* bag = dynamic_cast<Kordo::IVariableParam*>(component);
    ASSERT_NE(bag, nullptr);
    bag->SetString(1, "freed with the bag");
    component->Destroy(0); // the sanitizers report a leak or a wrong delete
}
