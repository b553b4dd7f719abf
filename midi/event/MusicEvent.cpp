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

// The area is a member declared after data, so data is pointed at it once it exists.
MusicEvent::MusicEvent() {
    area_.fill(0);
    data = area_.data();
}

MusicEvent::MusicEvent(int delta) : delta(delta) {
    area_.fill(0);
    data = area_.data();
}

MusicEvent::~MusicEvent() {
    // An area is enlarged for long meta and exclusive data, so only a length
    // beyond the area's real size means the record was written past its end.
    if (length > capacity_) ErrorMsg(kErrMusicEventDataSize);
    ReleaseHeapArea();
}

void MusicEvent::ReleaseHeapArea() {
    if (data != area_.data()) GneMemFree(data);
    data = area_.data();
    capacity_ = kDataSize;
}

unsigned char* MusicEvent::ResizeData(int size) {
    ReleaseHeapArea();
    area_.fill(0);
    if (size <= kDataSize) return data;
    auto* area = static_cast<unsigned char*>(GneMemAlloc(static_cast<unsigned long>(size)));
    if (area == nullptr) return nullptr;  // reported; the record keeps a valid 256-byte area
    data = area;
    capacity_ = size;
    return data;
}

void MusicEvent::Copy(MusicEvent* source) {
    if (source == nullptr || source == this) return;
    delta = source->delta;
    const int count = std::clamp(source->length, 0, source->capacity_);
    if (count > kDataSize - 1 && count + 1 > capacity_) {
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
