// Fuzzes the localization text reader (UTF-16 with its mark, or narrow text) and the decoders.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/Singleton.h"
#include "files/LocalizationManager.h"
#include "core/TextEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GAME::LocalizationManager& text = GAME::LocalizationManager::Instance();
    text.AddText(data, static_cast<uint32_t>(size));
    text.Localize("tagA");
    text.GetSpecialFont();

    const std::string narrow(reinterpret_cast<const char*>(data), size);
    GAME::EncodeUtf8(GAME::DecodeNarrow(narrow));
    GAME::EncodeUtf8(GAME::DecodeUtf16LE(data, static_cast<uint32_t>(size)));
    GAME::Singleton<GAME::LocalizationManager>::Destroy();
    return 0;
}
