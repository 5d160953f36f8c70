#pragma once
// Heap accounting for a benchmark program: every allocation of the program goes through
// these replacements, which keep the bytes in use now and the peak. Include from one
// source file of the program only.

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> g_heap_now{0};
std::atomic<std::size_t> g_heap_peak{0};
}  // namespace

// Kept out of line: inlined, GCC takes the malloc and free inside for a mismatch.
[[gnu::noinline]] void* operator new(std::size_t n) {
  void* p = std::malloc(n + 16);
  if (p == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(p) = n;
  const std::size_t now = g_heap_now += n;
  std::size_t peak = g_heap_peak.load();
  while (now > peak && !g_heap_peak.compare_exchange_weak(peak, now)) {
  }
  return static_cast<char*>(p) + 16;
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  char* base = static_cast<char*>(p) - 16;
  g_heap_now -= *reinterpret_cast<std::size_t*>(base);
  std::free(base);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
