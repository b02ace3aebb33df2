#include "framework/variable_param.hpp"

#include <cstring>
#include <iterator>

namespace Kordo {

namespace {

// The helpers below serve all five value maps; `Ptr` is the map's owning pointer.

template <class Ptr, class V> int Store(Ptr& map, unsigned key, const V& value)
{
    if (!map)
        map.reset(new typename Ptr::element_type);
    (*map)[key] = value;
    return 1;
}

template <class Ptr> bool Contains(const Ptr& map, unsigned key)
{
    return map && map->count(key) != 0;
}

template <class Ptr> auto Take(Ptr& map, unsigned key, bool remove)
{
    typename Ptr::element_type::mapped_type value{};
    if (!Contains(map, key))
        return value;
    auto entry = map->find(key);
    value = entry->second;
    if (remove)
        map->erase(entry);
    return value;
}

template <class Ptr> void Erase(Ptr& map, unsigned key)
{
    if (map)
        map->erase(key);
}

// Hands the entry of `key` to `store`; 0 when there is no target or no such entry.
template <class Ptr, class Sink>
int CopyEntry(const Ptr& map, IVariableParam* target, unsigned key, Sink store)
{
    if (!target || !Contains(map, key))
        return 0;
    store(*target, key, map->at(key));
    return 1;
}

template <class Ptr, class Sink> void CopyAll(const Ptr& map, IVariableParam& target, Sink store)
{
    if (map)
        for (const auto& entry : *map)
            store(target, entry.first, entry.second);
}

bool TextFits(const std::string& text, const char* buffer, unsigned capacity)
{
    return buffer && capacity > text.size();
}

void CopyText(const std::string& text, char* buffer)
{
    std::memcpy(buffer, text.c_str(), text.size() + 1);
}

// Acceptors for Walk: take the entry into the caller's variables.
template <class V> auto Yield(unsigned& key, V& value)
{
    return [&key, &value](unsigned entryKey, const V& entryValue) {
        key = entryKey;
        value = entryValue;
        return true;
    };
}

auto YieldText(unsigned& key, char* buffer, unsigned capacity)
{
    return [&key, buffer, capacity](unsigned entryKey, const std::string& text) {
        if (!TextFits(text, buffer, capacity))
            return false;
        CopyText(text, buffer);
        key = entryKey;
        return true;
    };
}

void StoreInt(IVariableParam& target, unsigned key, int value)
{
    target.SetInt(key, value);
}
void StoreBool(IVariableParam& target, unsigned key, bool value)
{
    target.SetBool(key, value);
}
void StoreUInt(IVariableParam& target, unsigned key, unsigned value)
{
    target.SetUInt(key, value);
}
void StoreFloat(IVariableParam& target, unsigned key, float value)
{
    target.SetFloat(key, value);
}
void StoreString(IVariableParam& target, unsigned key, const std::string& text)
{
    target.SetString(key, text.c_str());
}

} // namespace

CVariableParam2::CVariableParam2() = default;
CVariableParam2::~CVariableParam2() = default;

int CVariableParam2::SetFloat(unsigned key, float value)
{
    return Store(mFloats, key, value);
}

int CVariableParam2::SetBool(unsigned key, bool value)
{
    return Store(mBools, key, value);
}

int CVariableParam2::SetUInt(unsigned key, unsigned value)
{
    return Store(mUInts, key, value);
}

int CVariableParam2::SetString(unsigned key, const char* text)
{
    return text ? Store(mStrings, key, std::string(text)) : 0;
}

int CVariableParam2::SetInt(unsigned key, int value)
{
    return Store(mInts, key, value);
}

int CVariableParam2::GetInt(unsigned key, bool remove)
{
    return Take(mInts, key, remove);
}

bool CVariableParam2::GetBool(unsigned key, bool remove)
{
    return Take(mBools, key, remove);
}

unsigned CVariableParam2::GetUInt(unsigned key, bool remove)
{
    return Take(mUInts, key, remove);
}

float CVariableParam2::GetFloat(unsigned key, bool remove)
{
    return Take(mFloats, key, remove);
}

int CVariableParam2::GetString(unsigned key, char* buffer, unsigned capacity, bool remove)
{
    if (!Contains(mStrings, key))
        return 0;
    auto entry = mStrings->find(key);
    if (!TextFits(entry->second, buffer, capacity))
        return 0;
    CopyText(entry->second, buffer);
    if (remove)
        mStrings->erase(entry);
    return 1;
}

unsigned CVariableParam2::GetStringLength(unsigned key)
{
    return Contains(mStrings, key) ? static_cast<unsigned>(mStrings->at(key).size()) : 0;
}

int CVariableParam2::HasInt(unsigned key)
{
    return Contains(mInts, key);
}

int CVariableParam2::HasString(unsigned key)
{
    return Contains(mStrings, key);
}

int CVariableParam2::HasUInt(unsigned key)
{
    return Contains(mUInts, key);
}

int CVariableParam2::HasBool(unsigned key)
{
    return Contains(mBools, key);
}

int CVariableParam2::HasFloat(unsigned key)
{
    return Contains(mFloats, key);
}

void CVariableParam2::Clear()
{
    mInts.reset();
    mStrings.reset();
    mUInts.reset();
    mBools.reset();
    mFloats.reset();
    ClearFlags();
}

void CVariableParam2::RemoveInt(unsigned key)
{
    Erase(mInts, key);
}

void CVariableParam2::RemoveBool(unsigned key)
{
    Erase(mBools, key);
}

void CVariableParam2::RemoveUInt(unsigned key)
{
    Erase(mUInts, key);
}

void CVariableParam2::RemoveFloat(unsigned key)
{
    Erase(mFloats, key);
}

void CVariableParam2::RemoveString(unsigned key)
{
    Erase(mStrings, key);
}

void CVariableParam2::CopyTo(IVariableParam* target, bool clearFirst)
{
    if (!target)
        return;
    if (clearFirst)
        target->Clear();
    CopyAll(mInts, *target, StoreInt);
    CopyAll(mBools, *target, StoreBool);
    CopyAll(mFloats, *target, StoreFloat);
    CopyAll(mUInts, *target, StoreUInt);
    CopyAll(mStrings, *target, StoreString);
    for (const auto& flag : mFlags)
        target->SetFlag(flag.first, flag.second, true);
}

int CVariableParam2::CopyIntTo(IVariableParam* target, unsigned key)
{
    return CopyEntry(mInts, target, key, StoreInt);
}

int CVariableParam2::CopyBoolTo(IVariableParam* target, unsigned key)
{
    return CopyEntry(mBools, target, key, StoreBool);
}

int CVariableParam2::CopyUIntTo(IVariableParam* target, unsigned key)
{
    return CopyEntry(mUInts, target, key, StoreUInt);
}

int CVariableParam2::CopyFloatTo(IVariableParam* target, unsigned key)
{
    return CopyEntry(mFloats, target, key, StoreFloat);
}

int CVariableParam2::CopyStringTo(IVariableParam* target, unsigned key)
{
    return CopyEntry(mStrings, target, key, StoreString);
}

int CVariableParam2::Set(unsigned key, int value)
{
    return SetInt(key, value);
}

int CVariableParam2::Set(unsigned key, const char* text)
{
    return SetString(key, text);
}

int CVariableParam2::Set(unsigned key, unsigned value)
{
    return SetUInt(key, value);
}

int CVariableParam2::Set(unsigned key, bool value)
{
    return SetBool(key, value);
}

int CVariableParam2::Set(unsigned key, float value)
{
    return SetFloat(key, value);
}

void CVariableParam2::SetFlag(unsigned key, unsigned word, bool combine)
{
    auto entry = mFlags.find(key);
    if (entry == mFlags.end())
        mFlags.emplace(key, word);
    else if (combine)
        entry->second |= word;
    else
        entry->second &= word;
}

unsigned CVariableParam2::GetFlag(unsigned key, bool remove)
{
    auto entry = mFlags.find(key);
    if (entry == mFlags.end())
        return 0;
    const unsigned word = entry->second;
    if (remove)
        mFlags.erase(entry);
    return word;
}

void CVariableParam2::ClearFlags()
{
    mFlags.clear();
}

void CVariableParam2::RemoveFlag(unsigned key)
{
    mFlags.erase(key);
}

int CVariableParam2::HasFlag(unsigned key)
{
    return mFlags.count(key) != 0;
}

int CVariableParam2::CopyFlagTo(IVariableParam* target, unsigned key)
{
    if (!target || !HasFlag(key))
        return 0;
    target->SetFlag(key, GetFlag(key, false), true);
    return 1;
}

// First starts the shared position at 0; both yield the entry at the position (counted from the
// smallest key) and step past it, unless the map ends there or `accept` refuses the entry.
template <class Ptr, class Accept>
int CVariableParam2::Walk(const Ptr& map, bool first, Accept accept)
{
    if (first)
        mPosition = 0;
    if (!map || mPosition < 0 || static_cast<std::size_t>(mPosition) >= map->size())
        return 0;
    const auto& entry = *std::next(map->begin(), mPosition);
    if (!accept(entry.first, entry.second))
        return 0;
    ++mPosition;
    return 1;
}

int CVariableParam2::FirstInt(unsigned& key, int& value)
{
    return Walk(mInts, true, Yield(key, value));
}

int CVariableParam2::NextInt(unsigned& key, int& value)
{
    return Walk(mInts, false, Yield(key, value));
}

int CVariableParam2::FirstString(unsigned& key, char* buffer, unsigned capacity)
{
    return Walk(mStrings, true, YieldText(key, buffer, capacity));
}

int CVariableParam2::NextString(unsigned& key, char* buffer, unsigned capacity)
{
    return Walk(mStrings, false, YieldText(key, buffer, capacity));
}

int CVariableParam2::FirstUInt(unsigned& key, unsigned& value)
{
    return Walk(mUInts, true, Yield(key, value));
}

int CVariableParam2::NextUInt(unsigned& key, unsigned& value)
{
    return Walk(mUInts, false, Yield(key, value));
}

int CVariableParam2::FirstBool(unsigned& key, bool& value)
{
    return Walk(mBools, true, Yield(key, value));
}

int CVariableParam2::NextBool(unsigned& key, bool& value)
{
    return Walk(mBools, false, Yield(key, value));
}

int CVariableParam2::FirstFloat(unsigned& key, float& value)
{
    return Walk(mFloats, true, Yield(key, value));
}

int CVariableParam2::NextFloat(unsigned& key, float& value)
{
    return Walk(mFloats, false, Yield(key, value));
}

const char* CVariableParam2::GetStringPtr(unsigned key)
{
    return Contains(mStrings, key) ? mStrings->at(key).c_str() : nullptr;
}

} // namespace Kordo
