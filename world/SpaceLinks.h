#pragma once
// SpaceLinks: the fields an object of a Space (the loose quadtree, world/Space.h) carries for the
// tree: the node holding it and its neighbours in that node's list. Kept apart from the tree so
// that classes whose objects live in a tree (entities, terrain objects) need not include it.

namespace GAME {

template <class T>
struct SpaceNode;

template <class T>
struct SpaceLinks {
    SpaceNode<T>* node = nullptr;  // the node holding the object; null while it is in no tree
    T* prev = nullptr;             // neighbours in the node's object list
    T* next = nullptr;
};

}  // namespace GAME
