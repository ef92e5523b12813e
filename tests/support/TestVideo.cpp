#include "support/TestVideo.h"

#include "platform/VideoFileWriter.h"

namespace GAME::test {

bool WriteTestVideo(const std::string& path) {
    const VideoFileDescription description{kTestVideoWidth, kTestVideoHeight, kTestVideoFrames, kTestVideoRate};
    return WriteVideoFile(path, description, [](uint32_t frame, uint32_t* pixels) {
        for (int y = 0; y < kTestVideoHeight; ++y) {
            for (int x = 0; x < kTestVideoWidth; ++x) {
                pixels[y * kTestVideoWidth + x] = x < kTestVideoWidth / 2 ? TestVideoLeft(frame) : TestVideoRight(frame);
            }
        }
    });
}

}  // namespace GAME::test
