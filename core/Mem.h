#pragma once
// The engine's container templates.
//
// Every interface names its containers through these aliases so that the engine can change its
// allocation strategy in one place. Today they are the standard library's containers with the
// default allocator.

#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace mem {

template <class T>
using vector = std::vector<T>;

template <class Key, class Value, class Compare = std::less<Key>>
using map = std::map<Key, Value, Compare>;

template <class Key, class Compare = std::less<Key>>
using set = std::set<Key, Compare>;

template <class Key, class Value, class Hash = std::hash<Key>, class Equal = std::equal_to<Key>>
using hash_map = std::unordered_map<Key, Value, Hash, Equal>;

template <class Key, class Hash = std::hash<Key>, class Equal = std::equal_to<Key>>
using hash_set = std::unordered_set<Key, Hash, Equal>;

}  // namespace mem
