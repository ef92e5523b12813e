#include "devices/GLResourceQueue.h"

namespace GAME {

GLResourceQueue::~GLResourceQueue() {
    for (GLObject* object : deletions_) {
        delete object;
    }
}

void GLResourceQueue::QueueUpload(GLObject* object) {
    std::lock_guard<std::mutex> lock(mutex_);
    uploads_.insert(object);
}

void GLResourceQueue::CancelUpload(GLObject* object) {
    std::lock_guard<std::mutex> lock(mutex_);
    uploads_.erase(object);
}

void GLResourceQueue::QueueDelete(GLObject* object) {
    std::lock_guard<std::mutex> lock(mutex_);
    deletions_.push_back(object);
}

void GLResourceQueue::Drain(bool runUploads) {
    std::unordered_set<GLObject*> uploads;
    std::vector<GLObject*> deletions;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        uploads.swap(uploads_);
        deletions.swap(deletions_);
    }
    // Only the render thread deletes objects, so none of these goes away while they upload.
    if (runUploads) {
        for (GLObject* object : uploads) {
            object->Upload();
        }
    }
    for (GLObject* object : deletions) {
        delete object;
    }
}

}  // namespace GAME
