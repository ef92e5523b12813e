// Writes the sample data (SampleData.h) into a directory.
//
// Usage: GenerateSampleData <directory>

#include "SampleData.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    if (!GAME::sample::WriteSampleData(argv[1])) {
        std::fprintf(stderr, "GenerateSampleData: %s could not be written completely\n", argv[1]);
        return 1;
    }
    return 0;
}
