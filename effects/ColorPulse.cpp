#include "effects/ColorPulse.h"

#include "core/Log.h"
#include "core/Singleton.h"
#include "engine/ObjectManager.h"
#include "files/LoadTable.h"

#include <algorithm>

namespace GAME {

namespace {

Color ReadColor(const LoadTable& table, const std::string& prefix, float fallback) {
    const auto read = [&](const char* channel) { return table.GetFloat((prefix + channel).c_str(), fallback); };
    return Color(read("Red"), read("Green"), read("Blue"), read("Alpha"));
}

}  // namespace

ColorPulse::ColorPulse(int pulseTime, const Color& colorA, const Color& colorB)
    : pulseTime_(pulseTime), colorA_(colorA), colorB_(colorB) {}

ColorPulse::ColorPulse(const std::string& recordName) { LoadFromDatabase(recordName); }

void ColorPulse::LoadFromDatabase(const std::string& recordName) {
    const LoadTable* const table = Singleton<ObjectManager>::Get()->LoadTableFile(recordName);
    if (table == nullptr) {
        Log(LogPriority::Warning, "ColorPulse: no record '%s'; the pulse keeps its settings", recordName.c_str());
        return;
    }
    pulseTime_ = timeLeft_ = table->GetInt("pulseTime", 0);
    numberOfCycles_ = table->GetInt("numberOfCycles", -1);
    colorA_ = ReadColor(*table, "pulseColorA", 0.0f);
    colorB_ = ReadColor(*table, "pulseColorB", 0.0f);
    defaultColor_ = ReadColor(*table, "defaultPulseColor", -1.0f);
}

const Color& ColorPulse::Update(int elapsedMs) {
    // Counted cycles that are over leave the colour where they ended.
    if (numberOfCycles_ >= 0 && cyclesDone_ > numberOfCycles_) return current_;
    timeLeft_ -= elapsedMs;
    const int left = timeLeft_;
    float f = pulseTime_ != 0 ? float(left) / float(pulseTime_) : 0.0f;
    f = f > 0.0f ? std::min(f, 1.0f) : 0.0f;
    const float t = rising_ ? 1.0f - f : f;
    if (cyclesDone_ == numberOfCycles_ && rising_) {
        if (defaultColor_.r >= 0.0f) {
            current_ = Color::Lerp(colorA_, defaultColor_, t);
        } else {
            ++cyclesDone_;
        }
    } else {
        current_ = Color::Lerp(colorA_, colorB_, t);
    }
    if (left <= 0) {
        timeLeft_ = pulseTime_;
        if (rising_) ++cyclesDone_;
        rising_ = !rising_;
    }
    return current_;
}

bool ColorPulse::IsPulsing() const {
    if (numberOfCycles_ == 0) return false;
    return numberOfCycles_ < 0 || cyclesDone_ <= numberOfCycles_;
}

void ColorPulse::Reset() {
    cyclesDone_ = 0;
    timeLeft_ = pulseTime_;
}

void ColorPulse::SyncToColorPulse(const ColorPulse& other) {
    timeLeft_ = std::clamp(other.timeLeft_, 0, std::max(pulseTime_, 0));
    if (cyclesDone_ > 0) --cyclesDone_;
    rising_ = other.rising_;
}

}  // namespace GAME
