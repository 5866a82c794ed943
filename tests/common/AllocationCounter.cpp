#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

// Every plain form of new and delete is replaced together, so that memory always goes
// back the way it came (malloc and free).
namespace {

std::atomic<std::size_t> allocations{0};
std::atomic<std::size_t> largest{0};
constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);
std::atomic<std::size_t> failAbove{kNoLimit};

void* Allocate(std::size_t size) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    std::size_t seen = largest.load(std::memory_order_relaxed);
    while (size > seen && !largest.compare_exchange_weak(seen, size)) {
    }
    return std::malloc(size == 0 ? 1 : size);
}

void* AllocateOrThrow(std::size_t size) {
    if (size > failAbove.load(std::memory_order_relaxed)) {
        throw std::bad_alloc();
    }
    if (void* p = Allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}

}  // namespace

namespace AllocationCounter {
std::size_t Count() {
    return allocations.load();
}
std::size_t Largest() {
    return largest.load();
}
void ResetLargest() {
    largest = 0;
}
FailAbove::FailAbove(std::size_t bytes) {
    failAbove = bytes;
}
FailAbove::~FailAbove() {
    failAbove = kNoLimit;
}
}  // namespace AllocationCounter

void* operator new(std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
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
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
