// The generic event record: construction, the owned data area, copying and
// the record's error messages.
#include "midi/event/MusicEvent.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "General/GeneralMac.h"
#include "General/detail/ClassMessages.h"

using retrograde::detail::MessageTable;
using retrograde::detail::MessageText;

// The areas are members or pool slots made after data, so data is pointed at
// them in the constructor bodies.
MusicEvent::MusicEvent() {
    TakeFreshArea();
}

MusicEvent::MusicEvent(int delta) : delta(delta) {
    TakeFreshArea();
}

MusicEvent::MusicEvent(int delta, Compact) : delta(delta) {
    MakeCompact();
}

MusicEvent::MusicEvent(const MusicEvent* like) {
    if (like != nullptr && like->IsCompact()) {
        MakeCompact();
    } else {
        TakeFreshArea();
    }
}

MusicEvent::~MusicEvent() {
    // An area is enlarged for long meta and exclusive data, so only a length
    // beyond the area's real size means the record was written past its end.
    if (length > capacity_) ErrorMsg(kErrMusicEventDataSize);
    ReleaseArea();
}

void MusicEvent::TakeFreshArea() {
    data = TakeArea();
    std::memset(data, 0, kDataSize);
    capacity_ = kDataSize;
}

void MusicEvent::MakeCompact() {
    inline_.fill(0);
    data = inline_.data();
    capacity_ = kCompactSize;
}

void MusicEvent::ReleaseArea() noexcept {
    if (capacity_ == kDataSize) {
        GiveArea(data);
    } else if (capacity_ > kDataSize) {
        GneMemFree(data);
    }
    data = inline_.data();
    capacity_ = kCompactSize;
}

unsigned char* MusicEvent::ResizeData(int size) {
    if (size > kDataSize) {
        auto* area = static_cast<unsigned char*>(GneMemAlloc(static_cast<unsigned long>(size)));
        if (area != nullptr) {  // zeroed by the allocator
            ReleaseArea();
            data = area;
            capacity_ = size;
            return data;
        }
        // Reported; the record keeps a valid area of at least 256 bytes.
    }
    if (capacity_ != kDataSize) {
        ReleaseArea();
        TakeFreshArea();
    } else {
        std::memset(data, 0, kDataSize);
    }
    return size > kDataSize ? nullptr : data;
}

void MusicEvent::Copy(MusicEvent* source) {
    if (source == nullptr || source == this) return;
    delta = source->delta;
    const int count = std::clamp(source->length, 0, source->capacity_);
    if (count + 1 > capacity_) {
        // One byte more than the length, so a long text stays zero-terminated.
        if (ResizeData(count + 1) == nullptr) return;
    }
    std::memcpy(data, source->data, static_cast<std::size_t>(std::min(count, capacity_)));
    if (count < capacity_) data[count] = 0;
    status = source->status;
    note = source->note;
    duration = source->duration;
    velocity = source->velocity;
    number = source->number;
    value = source->value;
    length = source->length;
}

namespace {

constexpr std::array kMusicEventTexts = {
    MessageText{kErrMusicEventDataSize, "イベントのデータサイズが大きすぎます。"},
};
constexpr MessageTable kMusicEventMessages{"MusicEvent", kMusicEventTexts};

}  // namespace

int MusicEvent::ErrorMsg(int code) {
    return ShowError(kMusicEventMessages, code);
}
