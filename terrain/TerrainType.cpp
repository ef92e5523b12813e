#include "terrain/TerrainType.h"

#include <algorithm>
#include <cstring>

#include "core/Name.h"
#include "core/Singleton.h"
#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "files/LoadTable.h"
#include "files/ResourceLoader.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(TerrainType, Object);

TerrainType* TerrainType::Create(const std::string& recordName) {
    return Singleton<ObjectManager>::Get()->CreateObjectFromFile<TerrainType>(recordName, 0, true);
}

void TerrainType::Destroy(TerrainType*& type) {
    if (type) Singleton<ObjectManager>::Get()->DestroyObjectEx(type, __FILE__, __LINE__);
    type = nullptr;
}

namespace {

// "surfaceType" texts, in PhysicsSurface order from 0.
constexpr const char* kSurfaceNames[] = {"Unwalkable", "Grass", "Dirt", "Sand", "Snow", "Stone", "Wood", "Water"};

PhysicsSurface GetSurfaceFromName(const char* name) {
    for (int i = 0; i < int(std::size(kSurfaceNames)); ++i) {
        if (std::strcmp(name, kSurfaceNames[i]) == 0) return PhysicsSurface(i);
    }
    return PhysicsSurface::None;
}

uint32_t GetCount(const LoadTable& table, const char* key, int defaultValue) {
    return uint32_t(std::max(table.GetInt(key, defaultValue), 0));
}

bool CanLoadBumpMaps(const GraphicsEngine& graphics) {
    return graphics.GetPixelShaderVersion() >= TerrainType::kMinBumpMapShaderVersion;
}

// Loads the file into the list when it names one and the load gives a texture.
void AppendTexture(GraphicsEngine& graphics, const std::string& fileName, mem::vector<const GraphicsTexture*>& list) {
    if (fileName.empty()) return;
    if (const GraphicsTexture* texture = graphics.LoadTexture(fileName)) list.push_back(texture);
}

void ReleaseList(mem::vector<const GraphicsTexture*>& list) {
    if (GraphicsEngine* graphics = GetEngineGraphics()) {
        for (const GraphicsTexture* texture : list) graphics->UnloadTexture(texture);
    }
    list.clear();
}

}  // namespace

TerrainType::~TerrainType() { ReleaseTextures(); }

bool TerrainType::Load(const LoadTable& table) {
    if (!Object::Load(table)) return false;
    textureFileName_ = table.GetValue("TextureFileName1", "");
    bumpMapFileName_ = table.GetValue("BumpMapFileName1", "");
    bladeTextureFileName_ = table.GetValue("BladeTextureFileName", "");
    actorName_ = table.GetValue("ActorName", "");
    constexpr float kByteToUnit = 0.00392157f;
    minimapColor_ = Color(float(table.GetInt("minimapRed", 0)) * kByteToUnit,
                          float(table.GetInt("minimapGreen", 0)) * kByteToUnit,
                          float(table.GetInt("minimapBlue", 0)) * kByteToUnit, 1.0f);
    table.GetArrayInt("VariationProbability", variationProbabilities_);
    table.GetArrayReal("VariationClumpiness", variationClumpiness_);
    table.GetArrayReal("NoiseScale", noiseScale_);
    minimumBladeOpacity_ = GetCount(table, "MinimumBladeOpacity", 0);
    bladeSpacing_ = GetCount(table, "BladeSpacing", 0);
    bladeVariations_ = GetCount(table, "BladeVariations", 1);
    bladeWidth_ = table.GetFloat("BladeWidth", 1.0f);
    bladeHeight_ = table.GetFloat("BladeHeight", 1.5f);
    surface_ = GetSurfaceFromName(table.GetValue("surfaceType", ""));
    return true;
}

void TerrainType::LoadTextures() {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (!graphics) return;
    // Loading twice must not take a second reference to what is held.
    ReleaseTextures();
    AppendTexture(*graphics, textureFileName_, textures_);
    if (CanLoadBumpMaps(*graphics)) AppendTexture(*graphics, bumpMapFileName_, bumpMaps_);
    if (!bladeTextureFileName_.empty()) bladeTexture_ = graphics->LoadTexture(bladeTextureFileName_);
}

void TerrainType::ReloadBumpmaps() {
    ReleaseList(bumpMaps_);
    GraphicsEngine* graphics = GetEngineGraphics();
    if (graphics && CanLoadBumpMaps(*graphics)) AppendTexture(*graphics, bumpMapFileName_, bumpMaps_);
}

void TerrainType::PreLoad(bool enqueue) const {
    ResourceLoader* loader = gEngine ? gEngine->GetResourceLoader() : nullptr;
    if (!enqueue || !loader) return;
    const auto enqueueTexture = [loader](const GraphicsTexture* texture) {
        loader->EnqueueResource(texture, ResourcePriority::Normal, true, true);
    };
    std::for_each(textures_.begin(), textures_.end(), enqueueTexture);
    std::for_each(bumpMaps_.begin(), bumpMaps_.end(), enqueueTexture);
    if (bladeTexture_) enqueueTexture(bladeTexture_);
}

void TerrainType::SetShaderParams(const GraphicsShader2* shader, int) const {
    static const Name baseTexture = Name::Create("baseTexture");
    static const Name bumpTexture = Name::Create("bumpTexture");
    if (!shader) return;
    if (!textures_.empty()) shader->SetTexture(baseTexture, 0, textures_.front()->GetTexture());
    if (!bumpMaps_.empty()) shader->SetTexture(bumpTexture, 0, bumpMaps_.front()->GetTexture());
}

void TerrainType::SetGrassShaderParams(const GraphicsShader2* shader) const {
    static const Name baseTexture = Name::Create("baseTexture");
    static const Name bladeHeight = Name::Create("bladeHeight");
    if (!shader) return;
    if (bladeTexture_) shader->SetTexture(baseTexture, 0, bladeTexture_->GetTexture());
    shader->SetFloat(bladeHeight, 0, bladeHeight_);
}

const GraphicsTexture* TerrainType::GetTexture(unsigned i) const {
    return i < textures_.size() ? textures_[i] : nullptr;
}

const GraphicsTexture* TerrainType::GetBumpMapTexture(unsigned i) const {
    return i < bumpMaps_.size() ? bumpMaps_[i] : nullptr;
}

unsigned TerrainType::GetMinimumBladeOpacity() const {
    return unsigned(float(minimumBladeOpacity_) * 0.01f * 255.0f);
}

int TerrainType::GetRandomTexture(int r) const {
    // r is taken as unsigned so that a negative number still picks a valid variation.
    const uint32_t random = uint32_t(r);
    if (variationProbabilities_.size() != bladeVariations_) {
        return bladeVariations_ == 0 ? 0 : int(random % bladeVariations_);
    }
    int64_t sum = 0;
    for (const int probability : variationProbabilities_) sum += probability;
    if (sum <= 0) return 0;
    const int64_t m = int64_t(random) % sum;
    int64_t total = 0;
    for (size_t i = 0; i < variationProbabilities_.size(); ++i) {
        const int64_t next = total + variationProbabilities_[i];
        if (total <= m && m < next) return int(i);
        total = next;
    }
    return 0;
}

void TerrainType::ReleaseTextures() {
    ReleaseList(textures_);
    ReleaseList(bumpMaps_);
    if (bladeTexture_) {
        if (GraphicsEngine* graphics = GetEngineGraphics()) graphics->UnloadTexture(bladeTexture_);
        bladeTexture_ = nullptr;
    }
}

}  // namespace GAME
