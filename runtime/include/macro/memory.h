// Ownership of malloc'ed buffers inside one call.
#pragma once

#include <cstdlib>

// Frees the buffer when the holder goes out of scope, unless released.
template <typename T>
struct Owned {
  T* p = nullptr;
  Owned() = default;
  explicit Owned(T* q) : p(q) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { std::free(p); }
  T* get() const { return p; }
  T* release() {
    T* q = p;
    p = nullptr;
    return q;
  }
  explicit operator bool() const { return p != nullptr; }
};

// malloc of n elements of T, zero-filled; nullptr when out of memory or when
// the size would overflow.
template <typename T>
T* AllocZeroed(std::size_t n) {
  if (n != 0 && n > static_cast<std::size_t>(-1) / sizeof(T)) return nullptr;
  void* p = std::malloc(n * sizeof(T));
  if (p == nullptr) return nullptr;
  auto* bytes = static_cast<unsigned char*>(p);
  for (std::size_t i = 0; i < n * sizeof(T); ++i) bytes[i] = 0;
  return static_cast<T*>(p);
}
