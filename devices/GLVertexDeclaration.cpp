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
    for (auto& [streams, array] : vertexArrays_) {
        device_.ForgetVertexArray(array.name);
        glDeleteVertexArrays(1, &array.name);
    }
    vertexArrays_.clear();
    device_.UnregisterVertexArrays(*this);
}

void GLVertexDeclaration::ForgetBuffer(GLuint buffer) {
    for (auto entry = vertexArrays_.begin(); entry != vertexArrays_.end();) {
        VertexArray& array = entry->second;
        if (array.indexBuffer == buffer) {
            array.indexBuffer = 0;
        }
        const GLStreamBinding* const streams = entry->first.streams;
        if (std::none_of(streams, streams + kMaxStreams,
                         [&](const GLStreamBinding& s) { return s.buffer == buffer; })) {
            ++entry;
            continue;
        }
        device_.ForgetVertexArray(array.name);
        glDeleteVertexArrays(1, &array.name);
        entry = vertexArrays_.erase(entry);
    }
}

void GLVertexDeclaration::AppendLayout(std::string& key) const {
    for (const Attribute& attribute : attributes_) {
        const uint32_t words[] = {attribute.stream, attribute.location, uint32_t(attribute.size), attribute.type,
                                  attribute.normalized, attribute.offset};
        key.append(reinterpret_cast<const char*>(words), sizeof(words));
    }
}

size_t GLVertexDeclaration::StreamsHash::operator()(const Streams& key) const {
    size_t hash = 0;
    for (const GLStreamBinding& stream : key.streams) {
        for (const uint32_t value : {uint32_t(stream.buffer), stream.offset, stream.stride}) {
            hash = hash * 1000003u ^ value;
        }
    }
    return hash;
}

uint32_t GLVertexDeclaration::Bind(GLStateCache& state, const GLStreamBinding (&streams)[kMaxStreams],
                                   GLuint indexBuffer) {
    Streams wanted;
    uint32_t vertices = UINT32_MAX;  // that every stream starts past its first stride
    for (uint32_t s = 0; s < kMaxStreams; ++s) {
        if (streamMask_ & (1u << s)) {
            wanted.streams[s] = streams[s];
            if (wanted.streams[s].stride == 0) {
                wanted.streams[s].stride = streamStrides_[s];
            }
            vertices = std::min(vertices, wanted.streams[s].offset / wanted.streams[s].stride);
        }
    }
    for (uint32_t s = 0; s < kMaxStreams; ++s) {
        if (streamMask_ & (1u << s)) {
            wanted.streams[s].offset -= vertices * wanted.streams[s].stride;
        }
    }
    const auto [found, made] = vertexArrays_.try_emplace(wanted);
    VertexArray& array = found->second;
    if (!made) {
        state.SetVertexArray(array.name);
    } else {
        glGenVertexArrays(1, &array.name);
        device_.RegisterVertexArray(*this);
        state.SetVertexArray(array.name);
        for (const Attribute& attribute : attributes_) {
            const GLStreamBinding& stream = wanted.streams[attribute.stream];
            glEnableVertexAttribArray(attribute.location);
            glBindBuffer(GL_ARRAY_BUFFER, stream.buffer);
            const auto pointer = reinterpret_cast<const void*>(uintptr_t(stream.offset + attribute.offset));
            glVertexAttribPointer(attribute.location, attribute.size, attribute.type, attribute.normalized,
                                  GLsizei(stream.stride), pointer);
        }
    }
    if (indexBuffer != array.indexBuffer) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
        array.indexBuffer = indexBuffer;
    }
    return vertices;
}

}  // namespace GAME
