// Where event records live: tracks make and destroy them by the hundred
// thousand, so records come from a pool of equal slots instead of the heap.
#include <algorithm>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "midi/event/MidiEvent.h"
#include "midi/event/MusicEvent.h"

#if defined(__SANITIZE_ADDRESS__)
#define RETROGRADE_EVENT_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RETROGRADE_EVENT_POOL 0
#endif
#endif
#ifndef RETROGRADE_EVENT_POOL
#define RETROGRADE_EVENT_POOL 1
#endif

namespace {

#if RETROGRADE_EVENT_POOL

// One slot holds a record of either class; anything larger goes to the heap.
constexpr std::size_t kSlotSize =
    (std::max(sizeof(MusicEvent), sizeof(MidiEvent)) + alignof(std::max_align_t) - 1) /
    alignof(std::max_align_t) * alignof(std::max_align_t);
constexpr std::size_t kSlotsPerBlock = 4096;  // 1.3 MB at a time

// A free list of slots carved from blocks that are kept for the life of the
// process: a freed slot is reused by the next record, and a process that once
// held many records keeps their room. One mutex keeps it safe between the
// window, the play thread and the timer.
class EventPool {
public:
    void* Take() {
        std::lock_guard lock(mutex_);
        if (free_ == nullptr) Grow();
        Slot* slot = free_;
        free_ = slot->next;
        return slot;
    }

    void Give(void* memory) noexcept {
        auto* slot = static_cast<Slot*>(memory);
        std::lock_guard lock(mutex_);
        slot->next = free_;
        free_ = slot;
    }

private:
    struct Slot {
        Slot* next;
    };

    void Grow() {
        auto block = std::make_unique<std::byte[]>(kSlotSize * kSlotsPerBlock);
        blocks_.reserve(blocks_.size() + 1);
        std::byte* base = block.get();
        blocks_.push_back(std::move(block));
        // Linked from the end, so slots are handed out in address order.
        for (std::size_t i = kSlotsPerBlock; i-- > 0;) {
            auto* slot = reinterpret_cast<Slot*>(base + i * kSlotSize);
            slot->next = free_;
            free_ = slot;
        }
    }

    std::mutex mutex_;
    Slot* free_ = nullptr;
    std::vector<std::unique_ptr<std::byte[]>> blocks_;
};

// Never destroyed: records held by other static objects may outlive any
// destructor order, and the blocks stay reachable for leak checkers.
EventPool& Pool() {
    static EventPool* pool = new EventPool;
    return *pool;
}

#endif

}  // namespace

void* MusicEvent::operator new(std::size_t size) {
#if RETROGRADE_EVENT_POOL
    if (size <= kSlotSize) return Pool().Take();
#endif
    return ::operator new(size);
}

void MusicEvent::operator delete(void* memory, [[maybe_unused]] std::size_t size) noexcept {
    if (memory == nullptr) return;
#if RETROGRADE_EVENT_POOL
    if (size <= kSlotSize) {
        Pool().Give(memory);
        return;
    }
#endif
    ::operator delete(memory);  // unsized: clang builds without sized deallocation
}
