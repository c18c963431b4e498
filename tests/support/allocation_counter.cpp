#include "support/allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

namespace {

std::atomic<int64_t> off_main_thread{0};
// Set during static initialisation, on the thread that runs main.
const std::thread::id main_thread = std::this_thread::get_id();

void* counted_allocation(std::size_t size) {
  if (std::this_thread::get_id() != main_thread) ++off_main_thread;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

}  // namespace

namespace testing_support {

int64_t allocations_off_main_thread() {
  return off_main_thread.load();
}

}  // namespace testing_support

void* operator new(std::size_t size) {
  return counted_allocation(size);
}
void* operator new[](std::size_t size) {
  return counted_allocation(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
