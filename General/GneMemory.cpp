// Memory for the library's buffers: zero-filled blocks that report a failure
// instead of throwing.
#include <cstdlib>

#include "General/GeneralMac.h"

void* GneMemAlloc(unsigned long size) {
    // calloc of 0 bytes may answer null; one byte keeps "null means failure" true.
    void* memory = std::calloc(size == 0 ? 1 : size, 1);
    if (memory == nullptr) GneErrorMsg(kGneErrNoMemory);
    return memory;
}

void GneMemFree(void* memory) {
    std::free(memory);
}
