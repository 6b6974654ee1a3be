// An allocator whose containers leave new elements of trivial types
// uninitialised: a vector of a hundred megabytes that is about to be
// overwritten whole is then not cleared first by one thread, and its pages
// are first touched by the threads that fill it, side by side.
#pragma once

#include <memory>
#include <new>
#include <type_traits>
#include <utility>

template <class T>
class UninitialisedAllocator : public std::allocator<T> {
public:
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };

    UninitialisedAllocator() noexcept = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>& other) noexcept : std::allocator<T>(other) {}

    // Default-initialisation: nothing is written for a trivial type.
    template <class U>
    void construct(U* at) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(at)) U;
    }
    template <class U, class... Args>
    void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};
