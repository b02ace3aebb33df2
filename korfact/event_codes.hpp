#pragma once
// Event codes of this library beside the two the framework names.
namespace KorFact {

// A key on a focused control that is not an edit (a button); the program sees Tab there too.
constexpr int kEventControlKey = 0x300020;

} // namespace KorFact
