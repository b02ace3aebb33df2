#include "korfact/geometry.hpp"

namespace KorFact {

int ScaleToDpi(int logical, int dpi)
{
    const long long scaled = static_cast<long long>(logical) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 48) / 96 : (scaled - 48) / 96);
}

Rect ScaleToDpi(const Rect& logical, int dpi)
{
    // Scale the edges, not the sizes, so neighbouring controls stay flush.
    const int left = ScaleToDpi(logical.x, dpi);
    const int top = ScaleToDpi(logical.y, dpi);
    return {left, top, ScaleToDpi(logical.x + logical.width, dpi) - left,
            ScaleToDpi(logical.y + logical.height, dpi) - top};
}

Rect CentreIn(const Rect& inner, const Rect& outer)
{
    return {outer.x + (outer.width - inner.width) / 2, outer.y + (outer.height - inner.height) / 2,
            inner.width, inner.height};
}

} // namespace KorFact
