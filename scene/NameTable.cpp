#include "scene/NameTable.h"

namespace GAME {

int GetNameTableSlot(const Name& key, int probe) {
    const uint32_t word = key.GetWord(0);
    const uint32_t step = word % 250u + 1u;  // 1..250, never a multiple of 251
    return static_cast<int>((step * static_cast<uint32_t>(probe) + word % 251u) % 251u);
}

}  // namespace GAME
