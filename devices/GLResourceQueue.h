#pragma once
// GLResourceQueue: the work other threads hand to the render thread: resources waiting for their
// upload and resources waiting to be deleted. Thread-safe; Drain runs on the render thread.

#include "devices/GLObject.h"

#include <mutex>
#include <unordered_set>
#include <vector>

namespace GAME {

class GLResourceQueue {
public:
    GLResourceQueue() = default;
    GLResourceQueue(const GLResourceQueue&) = delete;
    GLResourceQueue& operator=(const GLResourceQueue&) = delete;
    // Deletes the objects still waiting for deletion (the device is going away).
    ~GLResourceQueue();

    // The object's Upload runs at the next drain (once, however often it is queued).
    void QueueUpload(GLObject* object);
    // Takes the object off the upload list (it is being destroyed on the render thread).
    void CancelUpload(GLObject* object);
    // The object is deleted at the next drain.
    void QueueDelete(GLObject* object);

    // Runs the queued uploads (unless runUploads is false: there is no context), then deletes the
    // queued objects. Work queued meanwhile waits for the next drain.
    void Drain(bool runUploads = true);

private:
    std::mutex mutex_;
    std::unordered_set<GLObject*> uploads_;
    std::vector<GLObject*> deletions_;
};

}  // namespace GAME
