#pragma once
// Emitter data for the effects tests: one with every slot away from its default, and byte
// builders for blocks and old records the writer never makes.

#include <cstdint>
#include <string>

#include "effects/EmitterData.h"
#include "files/BinaryWriter.h"

namespace GAME::test {

// Every string, bool, integer, float and curve differs from the defaults (bool 0 true, so the
// emitter-time curves loop); every age curve loops too, and the seed makes two samples differ.
EmitterData EditedEmitter(int seed = 0);

// The fields of an old emitter record, in their order; curves are written as given.
struct OldRecord {
    std::string texture = "old/tex.tex";
    uint32_t sourceBlend = 6;
    uint32_t destinationBlend = 8;
    uint32_t bools[6] = {1, 0, 1, 0, 1, 0};  // bools 0 to 5
    int32_t integers[2] = {3, 24};
    float floats[4] = {2.5f, 10.0f, 20.0f, 30.0f};
    uint32_t curveCount = 0;
    int curvesWritten = 0;  // how many edited curves follow the count

    void Write(BinaryWriter& writer) const;
};

// Counts of a hand-made "PFX1" block, the ones the writer uses by default.
struct BlockCounts {
    uint32_t strings = 2;
    uint32_t bools = 12;
    uint32_t integers = 2;
    uint32_t floats = 4;
    uint32_t curves = 26;
};

// A "PFX1" block of the source's values with the given counts; values past the known slots are
// filler ("extra", true, 7, 7.0f, a default curve).
void WriteBlock(BinaryWriter& writer, const EmitterData& source, const BlockCounts& counts);

// Expects every stored slot of two emitters (not the enabled and debug-lines flags) to be equal.
void ExpectSameSlots(const EmitterData& actual, const EmitterData& expected);

}  // namespace GAME::test
