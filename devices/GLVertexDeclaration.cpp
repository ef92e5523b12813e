#include "devices/GLVertexDeclaration.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

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
    for (VertexArray& array : vertexArrays_) {
        device_.ForgetVertexArray(*this, array.name);
        glDeleteVertexArrays(1, &array.name);
    }
    vertexArrays_.clear();
}

void GLVertexDeclaration::ForgetBuffer(GLuint buffer) {
    for (VertexArray& array : vertexArrays_) {
        for (GLStreamBinding& stream : array.specified) {
            if (stream.buffer == buffer) {
                stream = GLStreamBinding{};
            }
        }
        if (array.specifiedIndexBuffer == buffer) {
            array.specifiedIndexBuffer = 0;
        }
    }
}

uint32_t GLVertexDeclaration::Bind(GLStateCache& state, const GLStreamBinding (&streams)[kMaxStreams],
                                   GLuint indexBuffer) {
    GLStreamBinding wanted[kMaxStreams];
    uint32_t vertices = UINT32_MAX;  // that every stream starts past its first stride
    for (uint32_t s = 0; s < kMaxStreams; ++s) {
        if (streamMask_ & (1u << s)) {
            wanted[s] = streams[s];
            if (wanted[s].stride == 0) {
                wanted[s].stride = streamStrides_[s];
            }
            vertices = std::min(vertices, wanted[s].offset / wanted[s].stride);
        }
    }
    uint32_t remainders[kMaxStreams] = {};
    for (uint32_t s = 0; s < kMaxStreams; ++s) {
        if (streamMask_ & (1u << s)) {
            wanted[s].offset -= vertices * wanted[s].stride;
            remainders[s] = wanted[s].offset;
        }
    }
    auto array = std::find_if(vertexArrays_.begin(), vertexArrays_.end(), [&](const VertexArray& candidate) {
        return std::equal(std::begin(remainders), std::end(remainders), std::begin(candidate.remainders));
    });
    if (array == vertexArrays_.end()) {
        VertexArray made;
        std::copy(std::begin(remainders), std::end(remainders), std::begin(made.remainders));
        glGenVertexArrays(1, &made.name);
        device_.RegisterVertexArray(*this);
        state.SetVertexArray(made.name);
        for (const Attribute& attribute : attributes_) {
            glEnableVertexAttribArray(attribute.location);
        }
        array = vertexArrays_.insert(vertexArrays_.end(), made);
    } else {
        state.SetVertexArray(array->name);
    }
    for (uint32_t s = 0; s < kMaxStreams; ++s) {
        if (!(streamMask_ & (1u << s)) || wanted[s] == array->specified[s]) {
            continue;
        }
        array->specified[s] = wanted[s];
        glBindBuffer(GL_ARRAY_BUFFER, wanted[s].buffer);
        for (const Attribute& attribute : attributes_) {
            if (attribute.stream != s) {
                continue;
            }
            const auto pointer = reinterpret_cast<const void*>(uintptr_t(wanted[s].offset + attribute.offset));
            glVertexAttribPointer(attribute.location, attribute.size, attribute.type, attribute.normalized,
                                  GLsizei(wanted[s].stride), pointer);
        }
    }
    if (indexBuffer != array->specifiedIndexBuffer) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
        array->specifiedIndexBuffer = indexBuffer;
    }
    return vertices;
}

}  // namespace GAME
