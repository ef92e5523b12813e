#include "world/ZoneManager.h"

#include <algorithm>

#include "core/Random.h"
#include "core/Singleton.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"
#include "files/LoadTable.h"
#include "files/LocalizationManager.h"
#include "render/GraphicsCanvas.h"
#include "world/Region.h"

namespace GAME {

namespace {

std::string Converted(std::string name) {
    FileSystem::ConvertFileName(name);
    return name;
}

// One colour channel: (rand() % 255) / 255.
float RandomChannel() { return static_cast<float>(Rand15() % 255) / 255.0f; }

}  // namespace

ZoneManager::ZoneManager() {
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    const LoadTable* map = objects->LoadTableFile(kTeleportMapRecord);
    if (!map) return;
    for (int page = 0; page < kNumPages; ++page) {
        const int count = map->GetNumElementsForField(kPageKeys[page]);
        for (int i = 0; i < count; ++i) {
            const std::string zone = Converted(map->GetArrayValue(kPageKeys[page], i, ""));
            pages_[page].push_back(zone);
            LoadZoneData(zone);
        }
    }
}

ZoneManager* ZoneManager::Get() { return Singleton<ZoneManager>::Get(); }

void ZoneManager::Destroy() { Singleton<ZoneManager>::Destroy(); }

void ZoneManager::LoadZoneData(const std::string& zoneRecord) {
    const LoadTable* record = Singleton<ObjectManager>::Get()->LoadTableFile(zoneRecord);
    if (!record) return;
    ZoneData zone;
    zone.zoneNameTag = record->GetValue("ZoneNameTag", "");
    zone.teleportNameTag = record->GetValue("TeleportNameTag", "");
    zone.mapIndex = record->GetInt("mapIndex", 0);
    zone.keyColor.r = RandomChannel();
    zone.keyColor.g = RandomChannel();
    zone.keyColor.b = RandomChannel();
    zone.keyColor.a = 1.0f;
    zones_[zoneRecord] = zone;
}

const mem::vector<std::string>& ZoneManager::GetZoneList(ZonePage page) const {
    const int index = static_cast<int>(page);
    return pages_[index >= 0 && index < kNumPages ? index : kNumPages - 1];
}

const ZoneManager::ZoneData* ZoneManager::GetZoneData(const std::string& zoneRecord) const {
    const auto found = zones_.find(Converted(zoneRecord));
    return found == zones_.end() ? nullptr : &found->second;
}

ZonePage ZoneManager::GetActFromRegion(const Region* region) const {
    if (!region) return ZonePage::Act1;
    const std::string zone = Converted(region->GetZoneRecord());
    for (int page = 0; page < kNumPages; ++page) {
        if (std::find(pages_[page].begin(), pages_[page].end(), zone) != pages_[page].end())
            return static_cast<ZonePage>(page);
    }
    return ZonePage::Act1;
}

void ZoneManager::RenderKey(GraphicsCanvas& canvas) const {
    int y = 0;
    for (const auto& [name, zone] : zones_) {
        RenderZoneKey(0, y, zone, canvas);
        y += kKeySpacing;
    }
}

void ZoneManager::RenderZoneKey(int x, int y, const ZoneData& zone, GraphicsCanvas& canvas) const {
    canvas.RenderRect(MakeRect(x, y, kKeySize, kKeySize, false), Color(1.0f, 1.0f, 1.0f, 1.0f));
    canvas.RenderRect(MakeRect(x + 1, y + 1, kKeySize - 2, kKeySize - 2, false), zone.keyColor);
    const std::wstring name = LocalizationManager::Instance().Localize(zone.zoneNameTag);
    canvas.RenderText(x + 40, y + 10, name.c_str(), kKeyFontStyle, 1.0f, XAlignment::Left, YAlignment::Top);
}

}  // namespace GAME
