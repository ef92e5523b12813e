#pragma once
// GLVertexDeclaration: a vertex layout (CreateVertexDeclaration) and the vertex array object that
// draws with it.
//
// Each element becomes the attribute at the location of its usage code, at the offset that the
// elements before it on the same stream take. The vertex array records which buffer, offset and
// stride each stream was last specified with and re-specifies a stream's attributes only when the
// bound stream differs, so repeated draws from the same static buffers cost one bind. The array
// object is made at the first draw (render thread); the layout itself is known at once.
//
// Streams that move through a ring buffer from draw to draw keep their arrays unchanged: the
// streams' offsets are taken as whole vertices, which the draw adds to its first vertex, and what
// is left of them (less than a stride) picks one of the declaration's arrays, each made for such
// a remainder. A driver watches how often an array is re-pointed and, past a few times, stops
// merging its interleaved attributes into one buffer binding; that new vertex layout costs a
// vertex-stage compile of every program drawn with it, in whatever frame it happens.

#include "devices/GLHeaders.h"
#include "devices/GLObject.h"
#include "render/RenderDevice.h"

#include <cstdint>
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

    // Binds a vertex array for these streams and index buffer, re-specifying what changed, and
    // returns the whole vertices the streams start past what the array points at: the draw adds
    // them to its first vertex (render thread). Streams whose stride is 0 take the declaration's
    // own stride for the stream.
    uint32_t Bind(GLStateCache& state, const GLStreamBinding (&streams)[kMaxStreams], GLuint indexBuffer);
    // Deletes the vertex arrays (they are made again at the next Bind).
    void ReleaseVertexArray();
    // Forgets every stream and index binding on the buffer object, which is being deleted.
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

    // A vertex array object for the streams' offsets within a vertex.
    struct VertexArray {
        uint32_t remainders[kMaxStreams] = {};
        GLuint name = 0;
        GLStreamBinding specified[kMaxStreams];  // what the array's attributes point at
        GLuint specifiedIndexBuffer = 0;
    };

    std::vector<VertexArray> vertexArrays_;
};

}  // namespace GAME
