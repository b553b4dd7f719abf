// Where event records live: tracks make and destroy them by the hundred
// thousand, so records come from a pool of equal slots instead of the heap,
// and the 256-byte areas of records that are not compact from another.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

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
// Slots are whole cache lines, so the fields of every record (its first bytes)
// lie in one line: a walk over a track reads one line per event.
constexpr std::size_t kCacheLine = 64;
constexpr std::size_t kSlotSize =
    (std::max(sizeof(MusicEvent), sizeof(MidiEvent)) + kCacheLine - 1) / kCacheLine * kCacheLine;
static_assert(kCacheLine % alignof(std::max_align_t) == 0);
// The 256-byte areas of records that are not compact have a pool of their own.
constexpr std::size_t kAreaSize = MusicEvent::kDataSize;
static_assert(kAreaSize % kCacheLine == 0);
// Blocks of one huge page: where the system gives them on request, a block
// costs one page fault instead of 512, which is most of the time a short
// program spends on its records.
constexpr std::size_t kBlockBytes = std::size_t{2} << 20;
constexpr std::size_t kCacheSlots = 512;  // free slots a thread keeps at hand
constexpr std::size_t kBatch = kCacheSlots / 2;

// The free slots of every thread, carved from blocks that are kept for the
// life of the process: a process that once held many records keeps their room.
// The free slots are kept in an array rather than linked through the slots,
// so handing one out does not read the slot (a cache miss per record when
// hundreds of thousands are made at once). Threads take and give slots in
// batches, so the mutex is taken once per batch, not once per record.
template <std::size_t SlotSize>
class SlotPool {
public:
    static constexpr std::size_t kSlotsPerBlock = kBlockBytes / SlotSize;

    // Moves up to count free slots to out, growing when there are none; the
    // slot taken first (out[n - 1]) has the lowest address. Returns n (>= 1).
    // Slots given back are taken first; then a block's slots that were never
    // used, carved as they are asked for, so a block costs no list of them.
    std::size_t TakeBatch(void** out, std::size_t count) {
        std::lock_guard lock(mutex_);
        if (!free_.empty()) {
            const std::size_t n = std::min(count, free_.size());
            std::copy(free_.end() - static_cast<std::ptrdiff_t>(n), free_.end(), out);
            free_.resize(free_.size() - n);
            return n;
        }
        if (unused_ == 0) Grow();
        const std::size_t n = std::min(count, unused_);
        for (std::size_t i = 0; i < n; ++i) out[n - 1 - i] = next_ + i * SlotSize;
        next_ += n * SlotSize;
        unused_ -= n;
        return n;
    }

    // Never allocates: the array has room for every slot there is.
    void GiveBatch(void* const* slots, std::size_t count) noexcept {
        std::lock_guard lock(mutex_);
        free_.insert(free_.end(), slots, slots + count);
    }

private:
    struct BlockFree {
        void operator()(std::byte* block) const { std::free(block); }
    };
    using Block = std::unique_ptr<std::byte, BlockFree>;

    // Not cleared: every record clears what it uses when it is made.
    static Block NewBlock() {
        Block block(static_cast<std::byte*>(std::aligned_alloc(kBlockBytes, kBlockBytes)));
        if (block == nullptr) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        // Records only: the areas are few in most songs, and a huge page
        // would make the whole block resident at the first one.
        if (SlotSize == kSlotSize) madvise(block.get(), kBlockBytes, MADV_HUGEPAGE);
#endif
        return block;
    }

    void Grow() {
        Block block = NewBlock();
        // Room for every slot there is, so giving slots back never allocates.
        free_.reserve(kSlotsPerBlock * (blocks_.size() + 1));
        blocks_.reserve(blocks_.size() + 1);
        next_ = block.get();
        unused_ = kSlotsPerBlock;
        blocks_.push_back(std::move(block));
    }

    std::mutex mutex_;
    std::vector<void*> free_;
    std::vector<Block> blocks_;
    std::byte* next_ = nullptr;  // the first never-used slot of the newest block
    std::size_t unused_ = 0;     // never-used slots from next_ on
};

// Never destroyed: records held by other static objects may outlive any
// destructor order, and the blocks stay reachable for leak checkers.
template <std::size_t SlotSize>
SlotPool<SlotSize>& Pool() {
    static auto* pool = new SlotPool<SlotSize>;
    return *pool;
}

// The free slots at hand of one thread (the window, the play thread, the
// timer ...). A slot freed on another thread than the one that took it
// simply joins that thread's slots. Trivially destructible, so it can be
// used to the thread's very end; the slots go back to the pool when the
// thread ends, and slots freed after that go to the pool directly.
struct ThreadCache {
    void* slots[kCacheSlots];
    std::size_t count;
    std::size_t limit;  // 0 until the thread's first use opens the cache, and once it is closed
    bool closed;
};

template <std::size_t SlotSize>
thread_local ThreadCache cache{};

template <std::size_t SlotSize>
struct CacheCloser {
    ~CacheCloser() {
        ThreadCache& mine = cache<SlotSize>;
        Pool<SlotSize>().GiveBatch(mine.slots, mine.count);
        mine.count = 0;
        mine.limit = 0;
        mine.closed = true;
    }
};

// Registers the closing of the cache at the thread's end; false when the
// thread is ending already.
template <std::size_t SlotSize>
bool OpenCache() {
    ThreadCache& mine = cache<SlotSize>;
    if (mine.closed) return false;
    if (mine.limit == 0) {
        static thread_local CacheCloser<SlotSize> closer;
        mine.limit = kCacheSlots;
    }
    return true;
}

// The slot handed out next is asked for now, so that the record made in it
// finds its cache lines at hand: a track reader makes one after the other.
template <std::size_t SlotSize>
[[gnu::always_inline]] inline void PrefetchNextSlot(const ThreadCache& mine) {
    if (mine.count == 0) return;
    const auto* next = static_cast<const std::byte*>(mine.slots[mine.count - 1]);
    for (std::size_t line = 0; line < SlotSize; line += kCacheLine) {
        __builtin_prefetch(next + line, 1);
    }
}

template <std::size_t SlotSize>
void* TakeSlot() {
    ThreadCache& mine = cache<SlotSize>;
    if (mine.count > 0) {
        void* slot = mine.slots[--mine.count];
        PrefetchNextSlot<SlotSize>(mine);
        return slot;
    }
    if (!OpenCache<SlotSize>()) {
        void* slot = nullptr;
        Pool<SlotSize>().TakeBatch(&slot, 1);
        return slot;
    }
    mine.count = Pool<SlotSize>().TakeBatch(mine.slots, kBatch);
    return mine.slots[--mine.count];
}

template <std::size_t SlotSize>
void GiveSlot(void* slot) noexcept {
    ThreadCache& mine = cache<SlotSize>;
    if (mine.count < mine.limit) {
        mine.slots[mine.count++] = slot;
        return;
    }
    bool open = false;
    try {
        open = OpenCache<SlotSize>();
    } catch (...) {
        open = false;  // the closing could not be registered: no cache for this thread
    }
    if (!open || mine.limit == 0) {
        Pool<SlotSize>().GiveBatch(&slot, 1);
        return;
    }
    if (mine.count == kCacheSlots) {
        // The oldest half goes back; the recently freed slots, likely still
        // in the processor's cache, stay at hand.
        Pool<SlotSize>().GiveBatch(mine.slots, kBatch);
        std::copy(mine.slots + kBatch, mine.slots + kCacheSlots, mine.slots);
        mine.count -= kBatch;
    }
    mine.slots[mine.count++] = slot;
}

#endif

}  // namespace

unsigned char* MusicEvent::TakeArea() {
#if RETROGRADE_EVENT_POOL
    return static_cast<unsigned char*>(TakeSlot<kAreaSize>());
#else
    return static_cast<unsigned char*>(::operator new(kDataSize));
#endif
}

void MusicEvent::GiveArea(unsigned char* area) noexcept {
#if RETROGRADE_EVENT_POOL
    GiveSlot<kAreaSize>(area);
#else
    ::operator delete(area);
#endif
}

void* MusicEvent::operator new(std::size_t size) {
#if RETROGRADE_EVENT_POOL
    if (size <= kSlotSize) return TakeSlot<kSlotSize>();
#endif
    return ::operator new(size);
}

void MusicEvent::operator delete(void* memory, [[maybe_unused]] std::size_t size) noexcept {
    if (memory == nullptr) return;
#if RETROGRADE_EVENT_POOL
    if (size <= kSlotSize) {
        GiveSlot<kSlotSize>(memory);
        return;
    }
#endif
    ::operator delete(memory);  // unsized: clang builds without sized deallocation
}
