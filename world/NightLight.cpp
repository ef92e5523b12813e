#include "world/NightLight.h"

#include "engine/Engine.h"
#include "files/LoadTable.h"
#include "world/AmbianceManager.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(NightLight, Light);

bool NightLight::Load(const LoadTable& table) {
    if (!Light::Load(table)) return false;
    useInterpolatedEnvironment_ = table.GetBool("useInterpolatedEnvironment", false);
    return true;
}

void NightLight::UpdateSelf(int elapsedMs) {
    Light::UpdateSelf(elapsedMs);
    const AmbianceManager* ambiance = gEngine != nullptr ? gEngine->GetAmbianceManager() : nullptr;
    if (ambiance == nullptr) return;
    SetShadowIntensity(ambiance->GetShadowIntensity());
    SetIntensity(useInterpolatedEnvironment_ ? ambiance->GetInterpolatedNightLightScale()
                                             : ambiance->GetNightLightScale(AmbianceManager::GetEnvironment(GetRegion())));
}

}  // namespace GAME
