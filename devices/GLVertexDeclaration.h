#pragma once
// GLVertexDeclaration: a vertex layout (CreateVertexDeclaration) and the vertex array object that
// draws with it.
//
// Each element becomes the attribute at the location of its usage code, at the offset that the
// elements before it on the same stream take. The vertex array objects are made at the draws
// (render thread); the layout itself is known at once.
//
// An array is never re-pointed: each set of streams (buffers, offsets within a vertex, strides)
// has an array of its own, made at its first draw. A driver watches how often an array is
// re-pointed and, past a few times, stops merging its interleaved attributes into one buffer
// binding; that new vertex layout costs a vertex-stage compile of every program drawn with it, in
// whatever frame it happens. Streams that move through a ring buffer from draw to draw keep their
// array too: the streams' offsets are taken as whole vertices, which the draw adds to its first
// vertex, and only what is left of them (less than a stride) picks the array.

#include "devices/GLHeaders.h"
#include "devices/GLObject.h"
#include "render/RenderDevice.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace GAME {

class GLDevice;
class GLStateCache;

// A vertex stream as the device binds it: a buffer object, the byte offset of vertex 0, a stride.
struct GLStreamBinding {
    GLuint buffer = 0;
    uint32_t offset = 0;
    uint32_t stride = 0;

    bool operator==(const GLStreamBinding&) const = default;
};

class GLVertexDeclaration : public RenderVertexDeclaration, public GLObject {
public:
    static constexpr uint32_t kMaxStreams = 4;
    static constexpr uint32_t kMaxElements = 16;

    // Why the elements cannot make a declaration (logged by the caller), or null when they can.
    static const char* Validate(const RenderVertexElement* elements, uint32_t count);

    // elements must pass Validate.
    GLVertexDeclaration(GLDevice& device, const RenderVertexElement* elements, uint32_t count);
    ~GLVertexDeclaration() override;

    uint32_t GetStride() const override { return totalStride_; }
    // Bytes the elements of one stream take.
    uint32_t GetStreamStride(uint32_t stream) const { return streamStrides_[stream]; }
    // Bit s is set when an element reads stream s.
    uint32_t GetStreamMask() const { return streamMask_; }
    void Upload() override {}

    // Binds the vertex array of these streams (made now if need be) with the index buffer, and
    // returns the whole vertices the streams start past what the array points at: the draw adds
    // them to its first vertex (render thread). Streams whose stride is 0 take the declaration's
    // own stride for the stream.
    uint32_t Bind(GLStateCache& state, const GLStreamBinding (&streams)[kMaxStreams], GLuint indexBuffer);
    // Appends the attributes' layout (location, size, type, normalization, stream and offset of
    // each) to a key of bytes.
    void AppendLayout(std::string& key) const;
    // Deletes the vertex arrays (they are made again at the next Bind).
    void ReleaseVertexArray();
    // Deletes the arrays that read the buffer object, which is being deleted, and forgets it as
    // an index buffer.
    void ForgetBuffer(GLuint buffer);

private:
    // One attribute as glVertexAttribPointer takes it.
    struct Attribute {
        uint32_t stream = 0;
        GLuint location = 0;
        GLint size = 0;
        GLenum type = GL_FLOAT;
        GLboolean normalized = GL_FALSE;
        uint32_t offset = 0;  // within the vertex
    };

    GLDevice& device_;
    std::vector<Attribute> attributes_;
    uint32_t streamStrides_[kMaxStreams] = {};
    uint32_t streamMask_ = 0;  // streams the elements use
    uint32_t totalStride_ = 0;

    // What an array's attributes point at: the used streams, offsets within a vertex.
    struct Streams {
        GLStreamBinding streams[kMaxStreams];
        bool operator==(const Streams&) const = default;
    };
    struct StreamsHash {
        size_t operator()(const Streams& key) const;
    };
    struct VertexArray {
        GLuint name = 0;
        GLuint indexBuffer = 0;  // last bound with the array
    };

    std::unordered_map<Streams, VertexArray, StreamsHash> vertexArrays_;
};

}  // namespace GAME
