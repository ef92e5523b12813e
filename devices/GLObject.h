#pragma once
// GLObject: the base of every device resource that owns GL objects.
//
// Resources may be created, filled and destroyed on any thread, but GL calls are made on the
// render thread only (the thread that owns the context). A resource therefore keeps its data on
// the CPU until the render thread uploads it (Upload), and a resource destroyed on another thread
// is handed to the render thread, which deletes it, and so its GL objects, at its next drain.

namespace GAME {

class GLObject {
public:
    GLObject() = default;
    GLObject(const GLObject&) = delete;
    GLObject& operator=(const GLObject&) = delete;
    virtual ~GLObject() = default;

    // Brings the GL objects up to date with the CPU data (render thread, context current).
    virtual void Upload() = 0;
};

}  // namespace GAME
