// Name::Create against a bare one-shot OpenSSL MD5 of the same text: the name should cost no
// more than about 1.5 times the digest itself.

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstring>

#include "core/Name.h"

namespace {

const char* const kShort = "time";
const char* const kLong = "records/game/effects/fire/torchflame01.dbr";  // about 40 characters

void BM_NameCreate(benchmark::State& state, const char* text) {
    for (auto _ : state) benchmark::DoNotOptimize(GAME::Name::Create(text));
}

void BM_EvpDigestMd5(benchmark::State& state, const char* text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    for (auto _ : state) {
        EVP_Digest(text, std::strlen(text), digest, &size, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
}

}  // namespace

BENCHMARK_CAPTURE(BM_NameCreate, short, kShort);
BENCHMARK_CAPTURE(BM_EvpDigestMd5, short, kShort);
BENCHMARK_CAPTURE(BM_NameCreate, long, kLong);
BENCHMARK_CAPTURE(BM_EvpDigestMd5, long, kLong);
