#pragma once
// Keeps the list of live singletons: updates those that ask for it once a frame and destroys all
// of them at shutdown, newest first, so that a singleton created while another was being
// constructed (a dependency) outlives it.
//
// Singleton<T> registers an instance when it creates it and unregisters it when it is destroyed;
// nothing else calls Register or Unregister. A singleton wants the per-frame call by deriving from
// SingletonManager::Updatable.

namespace GAME {

class SingletonManager {
public:
    // Implemented by singletons that want SingletonManager::Update to call them each frame.
    class Updatable {
    public:
        virtual void Update() = 0;

    protected:
        virtual ~Updatable() = default;
    };

    // Destroys one singleton type's instance (Singleton<T>::Destroy).
    using DestroyFunction = void (*)();

    // Adds a newly created instance; updatable is null when it does not want Update.
    static void Register(DestroyFunction destroy, Updatable* updatable);
    // Removes the instance that destroy belongs to.
    static void Unregister(DestroyFunction destroy);

    // Calls Update on every registered updatable singleton, oldest first. A singleton created
    // during the pass is updated from the next frame on; one destroyed during it
    // (and not created again) is skipped.
    static void Update();

    // Destroys every registered singleton, newest first, including any created meanwhile.
    static void DestroyAll();
};

}  // namespace GAME
