#include "world/SectorData.h"

#include "core/Random.h"

namespace GAME {

namespace {

Color RandomRenderColor() {
    const float r = float(Rand15() % 1000) * 0.001f;
    const float g = float(Rand15() % 1000) * 0.001f;
    const float b = float(Rand15() % 1000) * 0.001f;
    return Color(r, g, b, 0.5f);
}

}  // namespace

SectorData::SectorData() : renderColorAlpha(RandomRenderColor()), renderColorOmega(RandomRenderColor()) { id.Create(); }

DayNightCycleSectorData::DayNightCycleSectorData() { cycle_.SetDefault(); }

}  // namespace GAME
