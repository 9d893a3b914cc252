// A vector whose new elements are left unset (default-initialised) instead
// of zeroed: for large tables that are written whole right after they are
// sized. Zeroing them would touch every page once more, and a page first
// touched by the thread that fills it costs that thread alone.
#pragma once

#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace tessaran {

template <class T>
class UnsetAllocator : public std::allocator<T> {
 public:
  template <class U>
  struct rebind {
    using other = UnsetAllocator<U>;
  };
  UnsetAllocator() = default;
  template <class U>
  UnsetAllocator(const UnsetAllocator<U>&) noexcept {}

  // Sizing without a value: default-initialisation, which leaves a
  // trivially constructible element as the memory was.
  template <class U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    std::allocator_traits<std::allocator<T>>::construct(static_cast<std::allocator<T>&>(*this), p,
                                                         std::forward<Args>(args)...);
  }
};

template <class T>
using UnsetVector = std::vector<T, UnsetAllocator<T>>;

}  // namespace tessaran
