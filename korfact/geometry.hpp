#pragma once
// Layout sizes are logical pixels at 96 dots per inch; windows get them scaled to the system DPI.
namespace KorFact {

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

// `logical` at `dpi`, rounded to the nearest pixel (halves away from zero).
int ScaleToDpi(int logical, int dpi);
Rect ScaleToDpi(const Rect& logical, int dpi);

// A rectangle of `inner`'s size centred in `outer`; it may stick out on every side alike.
Rect CentreIn(const Rect& inner, const Rect& outer);

} // namespace KorFact
