#pragma once
// FilterFunction<T>: a predicate over objects of type T, handed to queries that keep only the
// objects it accepts (the engine's entity render filter, the levels' entity queries).
//
// Filters are made and owned by their callers and never deleted through this base, which is why
// the destructor is protected and not virtual.

namespace GAME {

template <class T>
class FilterFunction {
public:
    virtual bool operator()(const T* object) const = 0;

protected:
    ~FilterFunction() = default;
};

}  // namespace GAME
