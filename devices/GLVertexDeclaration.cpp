#include "devices/GLVertexDeclaration.h"

#include "devices/GLDevice.h"
#include "devices/GLStateCache.h"

namespace GAME {

const char* GLVertexDeclaration::Validate(const RenderVertexElement* elements, uint32_t count) {
    if (elements == nullptr || count == 0 || count > kMaxElements) {
        return "no elements, or more than 16";
    }
    uint32_t usages = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const RenderVertexElement& element = elements[i];
        const uint32_t usage = static_cast<uint32_t>(element.usage);
        if (element.stream >= kMaxStreams) {
            return "stream out of range";
        }
        if (usage > static_cast<uint32_t>(RenderVertexUsage::Color)) {
            return "unknown usage";
        }
        if (GetVertexElementSize(element.type) == 0) {
            return "unknown element type";
        }
        if (usages & (1u << usage)) {
            return "a usage appears twice";
        }
        usages |= 1u << usage;
    }
    return nullptr;
}

GLVertexDeclaration::GLVertexDeclaration(GLDevice& device, const RenderVertexElement* elements, uint32_t count)
    : device_(device) {
    for (uint32_t i = 0; i < count; ++i) {
        const RenderVertexElement& element = elements[i];
        Attribute attribute;
        attribute.stream = element.stream;
        attribute.location = static_cast<GLuint>(element.usage);
        attribute.offset = streamStrides_[element.stream];
        switch (element.type) {
            case RenderVertexElementType::Float2: attribute.size = 2; break;
            case RenderVertexElementType::Float3: attribute.size = 3; break;
            case RenderVertexElementType::Float4: attribute.size = 4; break;
            case RenderVertexElementType::UByte4:
                attribute.type = GL_UNSIGNED_BYTE;
                if (element.usage == RenderVertexUsage::Color) {
                    attribute.size = GL_BGRA;  // a packed 0xAARRGGBB colour: bytes B, G, R, A
                    attribute.normalized = GL_TRUE;
                } else {
                    attribute.size = 4;
                    attribute.normalized = element.usage == RenderVertexUsage::BlendIndices ? GL_FALSE : GL_TRUE;
                }
                break;
        }
        streamStrides_[element.stream] += GetVertexElementSize(element.type);
        streamMask_ |= 1u << element.stream;
        totalStride_ += GetVertexElementSize(element.type);
        attributes_.push_back(attribute);
    }
}

GLVertexDeclaration::~GLVertexDeclaration() {
    device_.ForgetDeclaration(*this);
    ReleaseVertexArray();
}

void GLVertexDeclaration::ReleaseVertexArray() {
    if (vertexArray_ != 0) {
        device_.ForgetVertexArray(*this, vertexArray_);
        glDeleteVertexArrays(1, &vertexArray_);
        vertexArray_ = 0;
    }
}

void GLVertexDeclaration::ForgetBuffer(GLuint buffer) {
    for (GLStreamBinding& stream : specified_) {
        if (stream.buffer == buffer) {
            stream = GLStreamBinding{};
        }
    }
    if (specifiedIndexBuffer_ == buffer) {
        specifiedIndexBuffer_ = 0;
    }
}

void GLVertexDeclaration::Bind(GLStateCache& state, const GLStreamBinding (&streams)[kMaxStreams], GLuint indexBuffer) {
    if (vertexArray_ == 0) {
        glGenVertexArrays(1, &vertexArray_);
        device_.RegisterVertexArray(*this);
        for (GLStreamBinding& stream : specified_) {
            stream = GLStreamBinding{};
        }
        specifiedIndexBuffer_ = 0;
        state.SetVertexArray(vertexArray_);
        for (const Attribute& attribute : attributes_) {
            glEnableVertexAttribArray(attribute.location);
        }
    } else {
        state.SetVertexArray(vertexArray_);
    }
    for (uint32_t s = 0; s < kMaxStreams; ++s) {
        if (!(streamMask_ & (1u << s))) {
            continue;
        }
        GLStreamBinding wanted = streams[s];
        if (wanted.stride == 0) {
            wanted.stride = streamStrides_[s];
        }
        if (wanted == specified_[s]) {
            continue;
        }
        specified_[s] = wanted;
        glBindBuffer(GL_ARRAY_BUFFER, wanted.buffer);
        for (const Attribute& attribute : attributes_) {
            if (attribute.stream != s) {
                continue;
            }
            const auto pointer = reinterpret_cast<const void*>(uintptr_t(wanted.offset + attribute.offset));
            glVertexAttribPointer(attribute.location, attribute.size, attribute.type, attribute.normalized,
                                  GLsizei(wanted.stride), pointer);
        }
    }
    if (indexBuffer != specifiedIndexBuffer_) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
        specifiedIndexBuffer_ = indexBuffer;
    }
}

}  // namespace GAME
