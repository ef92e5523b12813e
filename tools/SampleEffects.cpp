#include "SampleEffects.h"

#include <memory>
#include <string>

#include "SampleData.h"
#include "effects/EffectData.h"
#include "effects/EmitterData.h"

namespace GAME::sample {

namespace {

void SetCurve(EmitterData& emitter, int slot, float domain, const mem::vector<CurveData::Point>& points) {
    CurveData* curve = emitter.GetCurve(slot);
    curve->SetDomain(domain);
    curve->SetPoints(points);
}

std::unique_ptr<EmitterData> Fire() {
    auto fire = std::make_unique<EmitterData>();
    fire->SetBoolean(EmitterData::Bool_Light, true);
    fire->SetBoolean(EmitterData::Bool_LightNightScale, true);
    fire->SetBoolean(EmitterData::Bool_RandomSpin, true);
    fire->SetInteger(EmitterData::Integer_Shape, EmitterData::Shape_SphereVolume);
    fire->SetFloat(EmitterData::Float_Life, 1.2f);
    SetCurve(*fire, EmitterData::Curve_Radius, 2.0f, {{0.0f, 0.3f}, {2.0f, 0.3f}});
    SetCurve(*fire, EmitterData::Curve_Rate, 2.0f, {{0.0f, 60.0f}, {2.0f, 60.0f}});
    SetCurve(*fire, EmitterData::Curve_Speed, 2.0f, {{0.0f, 1.5f}, {2.0f, 1.5f}});
    SetCurve(*fire, EmitterData::Curve_Spread, 2.0f, {{0.0f, 20.0f}, {2.0f, 20.0f}});
    SetCurve(*fire, EmitterData::Curve_Alpha, 1.2f, {{0.0f, 0.0f}, {0.2f, 0.9f}, {1.2f, 0.0f}});
    SetCurve(*fire, EmitterData::Curve_Red, 1.2f, {{0.0f, 1.0f}, {1.2f, 0.8f}});
    SetCurve(*fire, EmitterData::Curve_Green, 1.2f, {{0.0f, 0.7f}, {1.2f, 0.2f}});
    SetCurve(*fire, EmitterData::Curve_Blue, 1.2f, {{0.0f, 0.2f}, {1.2f, 0.0f}});
    SetCurve(*fire, EmitterData::Curve_Size, 1.2f, {{0.0f, 0.4f}, {1.2f, 0.15f}});
    SetCurve(*fire, EmitterData::Curve_LightRed, 2.0f, {{0.0f, 1.0f}, {2.0f, 1.0f}});
    SetCurve(*fire, EmitterData::Curve_LightGreen, 2.0f, {{0.0f, 0.6f}, {0.5f, 0.5f}, {1.3f, 0.65f}, {2.0f, 0.6f}});
    SetCurve(*fire, EmitterData::Curve_LightBlue, 2.0f, {{0.0f, 0.2f}, {2.0f, 0.2f}});
    SetCurve(*fire, EmitterData::Curve_LightRadius, 2.0f, {{0.0f, 6.0f}, {0.7f, 5.5f}, {2.0f, 6.0f}});
    fire->SetLoop(true);
    return fire;
}

std::unique_ptr<EmitterData> Sparks() {
    auto sparks = std::make_unique<EmitterData>();
    sparks->SetBoolean(EmitterData::Bool_AlignToVelocity, true);
    sparks->SetInteger(EmitterData::Integer_Shape, EmitterData::Shape_Ring);
    sparks->SetInteger(EmitterData::Integer_FramesPerSecond, 8);
    sparks->SetFloat(EmitterData::Float_Life, 1.5f);
    SetCurve(*sparks, EmitterData::Curve_Radius, 1.0f, {{0.0f, 0.2f}, {1.0f, 0.2f}});
    SetCurve(*sparks, EmitterData::Curve_Rate, 1.0f, {{0.0f, 400.0f}, {0.2f, 0.0f}, {1.0f, 0.0f}});
    SetCurve(*sparks, EmitterData::Curve_Speed, 1.0f, {{0.0f, 6.0f}, {1.0f, 6.0f}});
    SetCurve(*sparks, EmitterData::Curve_Spread, 1.0f, {{0.0f, 120.0f}, {1.0f, 120.0f}});
    SetCurve(*sparks, EmitterData::Curve_Gravity, 1.5f, {{0.0f, 14.8f}, {1.5f, 14.8f}});  // 9.8 once centred
    SetCurve(*sparks, EmitterData::Curve_Stretch, 1.5f, {{0.0f, 0.05f}, {1.5f, 0.02f}});
    SetCurve(*sparks, EmitterData::Curve_Size, 1.5f, {{0.0f, 0.08f}, {1.5f, 0.03f}});
    SetCurve(*sparks, EmitterData::Curve_Alpha, 1.5f, {{0.0f, 1.0f}, {1.5f, 0.0f}});
    SetCurve(*sparks, EmitterData::Curve_Red, 1.5f, {{0.0f, 1.0f}, {1.5f, 1.0f}});
    SetCurve(*sparks, EmitterData::Curve_Green, 1.5f, {{0.0f, 0.9f}, {1.5f, 0.4f}});
    return sparks;
}

std::unique_ptr<EmitterData> LocalOrbit() {
    auto orbit = std::make_unique<EmitterData>();
    orbit->SetBoolean(EmitterData::Bool_EmitLocally, true);
    orbit->SetInteger(EmitterData::Integer_Shape, EmitterData::Shape_Ring);
    orbit->SetFloat(EmitterData::Float_Life, 3.0f);
    SetCurve(*orbit, EmitterData::Curve_Radius, 4.0f, {{0.0f, 1.5f}, {4.0f, 1.5f}});
    SetCurve(*orbit, EmitterData::Curve_Rate, 4.0f, {{0.0f, 20.0f}, {4.0f, 20.0f}});
    // Centred on 3: the emitter turns at 1.5 radians a second about y and wobbles about x.
    SetCurve(*orbit, EmitterData::Curve_EmitterSpinY, 4.0f, {{0.0f, 4.5f}, {4.0f, 4.5f}});
    SetCurve(*orbit, EmitterData::Curve_EmitterSpinX, 4.0f, {{0.0f, 2.5f}, {2.0f, 3.5f}, {4.0f, 2.5f}});
    orbit->SetLoop(true);
    return orbit;
}

bool WriteEffect(FileSystem& files, const char* name, std::unique_ptr<EmitterData> emitter) {
    EffectData effect;
    effect.AddEmitterData(std::move(emitter));
    return effect.Save(name, files);
}

}  // namespace

bool WriteEffects(FileSystem& files) {
    return WriteEffect(files, kFireEffect, Fire()) && WriteEffect(files, kSparksEffect, Sparks()) &&
           WriteEffect(files, kLocalOrbitEffect, LocalOrbit()) &&
           WriteText(files, kFireRecord,
                     std::string("Class,EffectEntity,\neffectFile,") + kFireEffect + ",\nemitterType,Standard,\n");
}

}  // namespace GAME::sample
