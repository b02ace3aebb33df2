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
        Note("bool", key, value ? "true" : "false");
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

} // namespace

TEST(VariableParam, EachTypeKeepsItsOwnEntryForTheSameKey)
{
    CVariableParam2 bag;
    EXPECT_EQ(bag.SetInt(3, -7), 1);
    EXPECT_EQ(bag.SetString(3, "seven"), 1);
    EXPECT_EQ(bag.SetUInt(3, 0xFFFFFFF0u), 1);
    EXPECT_EQ(bag.SetBool(3, true), 1);
    EXPECT_EQ(bag.SetFloat(3, 2.5f), 1);
    EXPECT_EQ(bag.GetInt(3, false), -7);
    EXPECT_STREQ(bag.GetStringPtr(3), "seven");
    EXPECT_EQ(bag.GetUInt(3, false), 0xFFFFFFF0u);
    EXPECT_TRUE(bag.GetBool(3, false));
    EXPECT_EQ(bag.GetFloat(3, false), 2.5f);

    bag.RemoveInt(3);
    EXPECT_EQ(bag.HasInt(3), 0);
    EXPECT_EQ(bag.HasString(3), 1);
    bag.RemoveString(3);
    EXPECT_EQ(bag.HasString(3), 0);
    EXPECT_EQ(bag.HasUInt(3), 1);
    EXPECT_EQ(bag.HasBool(3), 1);
    EXPECT_EQ(bag.HasFloat(3), 1);
    bag.RemoveUInt(3);
    bag.RemoveBool(3);
    bag.RemoveFloat(3);
    EXPECT_EQ(bag.HasUInt(3) + bag.HasBool(3) + bag.HasFloat(3), 0);
}

TEST(VariableParam, AbsentEntriesReadAsZeroAndRemovingThemIsHarmless)
{
    CVariableParam2 bag; // no map made yet
    EXPECT_EQ(bag.GetInt(1, true), 0);
    EXPECT_FALSE(bag.GetBool(1, true));
    EXPECT_EQ(bag.GetUInt(1, true), 0u);
    EXPECT_EQ(bag.GetFloat(1, true), 0.0f);
    EXPECT_EQ(bag.GetStringLength(1), 0u);
    EXPECT_EQ(bag.GetStringPtr(1), nullptr);
    EXPECT_EQ(bag.GetFlag(1, true), 0u);
    bag.RemoveInt(1);
    bag.RemoveString(1);
    bag.RemoveFlag(1);
    bag.SetInt(2, 9); // a made map without the key
    EXPECT_EQ(bag.GetInt(1, false), 0);
    EXPECT_EQ(bag.HasInt(1), 0);
}

TEST(VariableParam, GettingWithRemoveErasesAfterReading)
{
    CVariableParam2 bag;
    bag.SetInt(8, 42);
    EXPECT_EQ(bag.GetInt(8, true), 42);
    EXPECT_EQ(bag.GetInt(8, false), 0);
    EXPECT_EQ(bag.HasInt(8), 0);

    bag.SetBool(8, true);
    bag.SetUInt(8, 5);
    bag.SetFloat(8, 0.25f);
    EXPECT_TRUE(bag.GetBool(8, true));
    EXPECT_EQ(bag.GetUInt(8, true), 5u);
    EXPECT_EQ(bag.GetFloat(8, true), 0.25f);
    EXPECT_EQ(bag.HasBool(8) + bag.HasUInt(8) + bag.HasFloat(8), 0);
}

TEST(VariableParam, SetStringKeepsACopyAndRefusesNull)
{
    CVariableParam2 bag;
    char text[] = "colour";
    bag.SetString(1, text);
    text[0] = 'C';
    EXPECT_STREQ(bag.GetStringPtr(1), "colour");
    EXPECT_EQ(bag.GetStringLength(1), 6u);
    EXPECT_EQ(bag.SetString(1, nullptr), 0);
    EXPECT_STREQ(bag.GetStringPtr(1), "colour");
    EXPECT_EQ(bag.SetString(2, nullptr), 0);
    EXPECT_EQ(bag.HasString(2), 0);
    // GBK bytes pass through untouched.
    bag.SetString(3, "检测");
    EXPECT_EQ(bag.GetStringLength(3), 4u);
}

TEST(VariableParam, GetStringCopiesOnlyWhenTheTerminatorFits)
{
    CVariableParam2 bag;
    bag.SetString(4, "abcd");
    char buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(bag.GetString(4, buffer, 4, true), 0); // capacity equal to the length
    EXPECT_EQ(std::string(buffer, 8), "xxxxxxxx");
    EXPECT_EQ(bag.HasString(4), 1); // no copy, so no removal
    EXPECT_EQ(bag.GetString(4, nullptr, 8, true), 0);
    EXPECT_EQ(bag.HasString(4), 1);
    EXPECT_EQ(bag.GetString(9, buffer, 8, false), 0);

    EXPECT_EQ(bag.GetString(4, buffer, 5, false), 1);
    EXPECT_EQ(std::string(buffer, 8), std::string("abcd\0xxx", 8));
    EXPECT_EQ(bag.HasString(4), 1);
    EXPECT_EQ(bag.GetString(4, buffer, 8, true), 1);
    EXPECT_EQ(bag.HasString(4), 0);
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
    EXPECT_EQ(bag.HasInt(3) + bag.HasUInt(1) + bag.HasInt(4) + bag.HasFloat(1), 0);
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
    bag.SetFlag(6, 0x80, true); // absent: stored as given, whatever the mode
    EXPECT_EQ(bag.HasFlag(6), 1);
    EXPECT_EQ(bag.GetFlag(6, true), 0x80u);
    EXPECT_EQ(bag.HasFlag(6), 0);
    bag.RemoveFlag(5);
    EXPECT_EQ(bag.HasFlag(5), 0);
    bag.SetFlag(7, 1, true);
    bag.SetFlag(8, 2, true);
    bag.ClearFlags();
    EXPECT_EQ(bag.HasFlag(7) + bag.HasFlag(8), 0);
}

TEST(VariableParam, ClearEmptiesEveryTypeAndTheFlags)
{
    CVariableParam2 bag;
    bag.SetInt(1, 1);
    bag.SetString(1, "a");
    bag.SetUInt(1, 1);
    bag.SetBool(1, true);
    bag.SetFloat(1, 1);
    bag.SetFlag(1, 1, true);
    bag.Clear();
    EXPECT_EQ(bag.HasInt(1) + bag.HasString(1) + bag.HasUInt(1) + bag.HasBool(1) + bag.HasFloat(1) +
                  bag.HasFlag(1),
              0);
    unsigned key = 0;
    int value = 0;
    EXPECT_EQ(bag.FirstInt(key, value), 0);
    bag.SetInt(2, 2); // usable again after Clear
    EXPECT_EQ(bag.GetInt(2, false), 2);
}

TEST(VariableParam, IterationWalksKeysInAscendingOrder)
{
    CVariableParam2 bag;
    unsigned key = 77;
    int value = 77;
    EXPECT_EQ(bag.FirstInt(key, value), 0); // no map
    EXPECT_EQ(bag.NextInt(key, value), 0);
    EXPECT_EQ(key, 77u);
    bag.SetInt(30, 3);
    bag.SetInt(10, 1);
    bag.SetInt(0xFFFFFFFFu, -1);
    bag.SetInt(20, 2);
    std::vector<std::pair<unsigned, int>> seen;
    for (int more = bag.FirstInt(key, value); more; more = bag.NextInt(key, value))
        seen.emplace_back(key, value);
    const std::vector<std::pair<unsigned, int>> expected = {
        {10, 1}, {20, 2}, {30, 3}, {0xFFFFFFFFu, -1}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(bag.NextInt(key, value), 0); // stays at the end
    bag.RemoveInt(10);
    bag.RemoveInt(20);
    bag.RemoveInt(30);
    bag.RemoveInt(0xFFFFFFFFu);
    EXPECT_EQ(bag.FirstInt(key, value), 0); // made but empty

    bag.SetUInt(2, 20);
    bag.SetUInt(1, 10);
    unsigned uvalue = 0;
    ASSERT_EQ(bag.FirstUInt(key, uvalue), 1);
    EXPECT_EQ(key, 1u);
    EXPECT_EQ(uvalue, 10u);
    ASSERT_EQ(bag.NextUInt(key, uvalue), 1);
    EXPECT_EQ(key, 2u);
    EXPECT_EQ(uvalue, 20u);
    EXPECT_EQ(bag.NextUInt(key, uvalue), 0);

    bag.SetBool(9, false);
    bool bvalue = true;
    ASSERT_EQ(bag.FirstBool(key, bvalue), 1);
    EXPECT_EQ(key, 9u);
    EXPECT_FALSE(bvalue);
    EXPECT_EQ(bag.NextBool(key, bvalue), 0);

    bag.SetFloat(4, 4.0f);
    bag.SetFloat(3, 3.0f);
    float fvalue = 0;
    ASSERT_EQ(bag.FirstFloat(key, fvalue), 1);
    EXPECT_EQ(fvalue, 3.0f);
    ASSERT_EQ(bag.NextFloat(key, fvalue), 1);
    EXPECT_EQ(key, 4u);
    EXPECT_EQ(fvalue, 4.0f);
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
    ASSERT_EQ(bag.FirstInt(key, value), 1);  // position 1
    ASSERT_EQ(bag.NextInt(key, value), 1);   // position 2
    ASSERT_EQ(bag.NextUInt(key, uvalue), 1); // the unsigned walk continues at the third entry
    EXPECT_EQ(key, 103u);
    EXPECT_EQ(bag.NextInt(key, value), 0); // position 3 is past the ints
    ASSERT_EQ(bag.FirstUInt(key, uvalue), 1);
    ASSERT_EQ(bag.NextInt(key, value), 1); // and back: the int walk resumes at its second entry
    EXPECT_EQ(key, 2u);
    EXPECT_EQ(value, 20);
}

TEST(VariableParam, TextIterationStopsWithoutAdvancingWhenTheTextDoesNotFit)
{
    CVariableParam2 bag;
    bag.SetString(2, "longer");
    bag.SetString(1, "ab");
    unsigned key = 0;
    char buffer[8] = {};
    EXPECT_EQ(bag.FirstString(key, buffer, 2), 0); // "ab" needs 3
    EXPECT_EQ(bag.FirstString(key, buffer, 3), 1);
    EXPECT_EQ(key, 1u);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(bag.NextString(key, buffer, 6), 0); // "longer" needs 7
    EXPECT_EQ(key, 1u);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(bag.NextString(key, buffer, 7), 1); // still the second entry
    EXPECT_EQ(key, 2u);
    EXPECT_STREQ(buffer, "longer");
    EXPECT_EQ(bag.NextString(key, buffer, 8), 0);
    EXPECT_EQ(bag.FirstString(key, nullptr, 8), 0);
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
    const std::vector<std::string> expected = {"int 5=5",          "int 6=-6", "bool 4=true",
                                               "float 3=0.500000", "uint 2=7", "text 1=t",
                                               "flag| 9=12"};
    EXPECT_EQ(target.calls, expected);
    EXPECT_EQ(target.GetFlag(9, false), 0x0Fu); // flags are ORed into the target's
    EXPECT_EQ(target.GetInt(100, false), 1);    // the target's own entries stay

    target.calls.clear();
    source.CopyTo(&target, true);
    ASSERT_FALSE(target.calls.empty());
    EXPECT_EQ(target.calls.front(), "clear");
    EXPECT_EQ(target.HasInt(100), 0);
    EXPECT_EQ(target.GetFlag(9, false), 0x0Cu);

    source.CopyTo(nullptr, true); // no target: nothing happens
    EXPECT_EQ(source.GetInt(5, false), 5);
}

TEST(VariableParam, CopyOneEntryToAnotherBag)
{
    CVariableParam2 source;
    source.SetInt(1, 11);
    source.SetBool(1, true);
    source.SetUInt(1, 12);
    source.SetFloat(1, 1.5f);
    source.SetString(1, "one");
    source.SetFlag(1, 0x10, true);
    CVariableParam2 target;
    target.SetFlag(1, 0x01, true);
    EXPECT_EQ(source.CopyIntTo(&target, 1), 1);
    EXPECT_EQ(source.CopyBoolTo(&target, 1), 1);
    EXPECT_EQ(source.CopyUIntTo(&target, 1), 1);
    EXPECT_EQ(source.CopyFloatTo(&target, 1), 1);
    EXPECT_EQ(source.CopyStringTo(&target, 1), 1);
    EXPECT_EQ(source.CopyFlagTo(&target, 1), 1);
    EXPECT_EQ(target.GetInt(1, false), 11);
    EXPECT_TRUE(target.GetBool(1, false));
    EXPECT_EQ(target.GetUInt(1, false), 12u);
    EXPECT_EQ(target.GetFloat(1, false), 1.5f);
    EXPECT_STREQ(target.GetStringPtr(1), "one");
    EXPECT_NE(target.GetStringPtr(1), source.GetStringPtr(1));
    EXPECT_EQ(target.GetFlag(1, false), 0x11u);

    EXPECT_EQ(source.CopyIntTo(&target, 2), 0);
    EXPECT_EQ(source.CopyStringTo(&target, 2), 0);
    EXPECT_EQ(source.CopyFlagTo(&target, 2), 0);
    EXPECT_EQ(source.CopyIntTo(nullptr, 1), 0);
    EXPECT_EQ(source.CopyBoolTo(nullptr, 1), 0);
    EXPECT_EQ(source.CopyUIntTo(nullptr, 1), 0);
    EXPECT_EQ(source.CopyFloatTo(nullptr, 1), 0);
    EXPECT_EQ(source.CopyStringTo(nullptr, 1), 0);
    EXPECT_EQ(source.CopyFlagTo(nullptr, 1), 0);
    EXPECT_EQ(target.HasInt(2) + target.HasString(2) + target.HasFlag(2), 0);
}

TEST(VariableParam, IsComponent282AndDestroysItself)
{
    Kordo::IComponent* component = new CVariableParam2;
    EXPECT_EQ(component->GetComponentId(), 282u);
    EXPECT_EQ(component->GetVersion(), 1);
    EXPECT_EQ(component->IsSingleton(), 0);
    component->Initialize(0);
    component->Activate();
    component->Deactivate();
    component->Tick();
    auto* bag = dynamic_cast<Kordo::IVariableParam*>(component);
    ASSERT_NE(bag, nullptr);
    bag->SetString(1, "freed with the bag");
    component->Destroy(0); // the sanitizers report a leak or a wrong delete
}
