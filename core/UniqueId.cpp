#include "core/UniqueId.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "core/Log.h"

namespace GAME {

namespace {

// Fills the buffer from the kernel's random source, retrying interrupted calls.
bool FillRandom(unsigned char* bytes, size_t size) {
    size_t filled = 0;
    while (filled < size) {
        const ssize_t got = getrandom(bytes + filled, size - filled, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        filled += static_cast<size_t>(got);
    }
    return true;
}

}  // namespace

void UniqueId::Create() {
    unsigned char bytes[16];
    if (!FillRandom(bytes, sizeof(bytes))) {
        // An id must never come out null or repeated, so fall back to the library's source.
        Log(LogPriority::Warning, "UniqueId: getrandom failed (%s); using std::random_device", std::strerror(errno));
        std::random_device device;
        for (size_t i = 0; i < sizeof(bytes); i += 4) {
            const uint32_t word = device();
            std::memcpy(bytes + i, &word, 4);
        }
    }
    // The bytes are random, so their order within the words does not matter.
    std::memcpy(words_, bytes, sizeof(words_));
    words_[1] = (words_[1] & 0x0FFFFFFFu) | 0x40000000u;  // version 4 in data3's top nibble
    words_[2] = (words_[2] & ~0xC0u) | 0x80u;              // variant 10 in data4[0]'s top bits
}

}  // namespace GAME
