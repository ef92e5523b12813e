#pragma once
// BenchEngine: the engine started once for the render benchmarks, on the GL device over an
// offscreen window (contexts are slow to make, and one device serves the whole program), with a
// data directory of its own holding what the benchmarks load: a font ("Fonts/Bench.fnt", the
// device's built-in face), a font style over it (kParagraphStyle) and the sample data's basic
// shader and filter shader. The directory is writable through the engine's file system, for
// benchmarks that add their own files. The program exits when the engine cannot start.

#include <string>

#include "engine/Engine.h"

namespace GAME::bench {

class BenchEngine {
public:
    static constexpr int kWidth = 768;
    static constexpr int kHeight = 512;
    static constexpr const char* kParagraphStyle = "Records/Bench/Paragraph.dbr";

    // The running engine; its graphics engine has begun a frame.
    static Engine& Get();
    // Ends the program with the reason.
    [[noreturn]] static void Fail(const char* why);
    // A fresh directory "<prefix>-XXXXXX" in the system's temporary directory, removed with its
    // contents when the program exits (so that runs leave nothing behind).
    static std::string MakeTempDirectory(const char* prefix);
};

}  // namespace GAME::bench
