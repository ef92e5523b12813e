#pragma once
// MapChunkCallback: the host's reader for one chunk of the world's map file that the engine does
// not read itself. The host installs it with Engine::InstallMapChunkCallback; the engine then owns
// it and deletes it at shutdown.

namespace GAME {

class BinaryReader;

class MapChunkCallback {
public:
    explicit MapChunkCallback(unsigned chunkId) : chunkId_(chunkId) {}
    virtual ~MapChunkCallback() = default;
    MapChunkCallback(const MapChunkCallback&) = delete;
    MapChunkCallback& operator=(const MapChunkCallback&) = delete;

    // Reads the chunk; the reader starts at the chunk's payload.
    virtual void ReadChunk(BinaryReader& reader) = 0;

    unsigned GetChunkId() const { return chunkId_; }

private:
    unsigned chunkId_;
};

}  // namespace GAME
