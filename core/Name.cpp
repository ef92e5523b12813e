#include "core/Name.h"

#include <openssl/evp.h>

#include <cstring>

#include "core/Log.h"

namespace GAME {

namespace {

// The MD5 implementation is fetched from the provider once; fetching it on every digest (as the
// one-shot EVP_Digest with EVP_md5() does) costs more than hashing a short text.
struct Md5Algorithm {
    EVP_MD* md = EVP_MD_fetch(nullptr, "MD5", nullptr);
    ~Md5Algorithm() { EVP_MD_free(md); }
};

// Each thread reuses one digest context instead of allocating one per name.
struct Md5Context {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ~Md5Context() { EVP_MD_CTX_free(ctx); }
};

const EVP_MD* GetMd5() {
    static const Md5Algorithm algorithm;
    return algorithm.md;
}

uint32_t ReadLittleEndian(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

}  // namespace

Name Name::Create(const char* text) {
    if (!text) return noName;
    thread_local const Md5Context context;
    const EVP_MD* md = GetMd5();
    unsigned char digest[16];
    unsigned int size = 0;
    if (!md || !context.ctx || EVP_DigestInit_ex2(context.ctx, md, nullptr) != 1 ||
        EVP_DigestUpdate(context.ctx, text, std::strlen(text)) != 1 ||
        EVP_DigestFinal_ex(context.ctx, digest, &size) != 1 || size != sizeof(digest)) {
        Log(LogPriority::Error, "Name: MD5 is not available; \"%s\" gets no name", text);
        return noName;
    }
    return Name(ReadLittleEndian(digest), ReadLittleEndian(digest + 4), ReadLittleEndian(digest + 8),
                ReadLittleEndian(digest + 12));
}

}  // namespace GAME
