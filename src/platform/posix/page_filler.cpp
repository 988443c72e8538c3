#include "platform/posix/page_filler.h"

#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace posix {

namespace {

constexpr size_t kStep = size_t{2} << 20;
constexpr size_t kFirstTripwire = size_t{8} << 20;

// Tripwires at 8, 16, 24, 36, 54 ... MiB: a gap of a half of the offset, at
// least 8 MiB, so the filler touches about one step in eight of a large
// block itself, and the helper stays at most two gaps ahead of it.
size_t nextTripwire(size_t tripwire) {
    const size_t gap = tripwire / 2 < kFirstTripwire ? kFirstTripwire : tripwire / 2;
    return (tripwire + gap) & ~(kStep - 1);
}

bool resident(const unsigned char* page) {
    unsigned char state = 0;
    return mincore(const_cast<unsigned char*>(page), 1, &state) == 0 && (state & 1) != 0;
}

// False when told to stop first.
bool waitUntilResident(PageFiller* filler, size_t offset) {
    const timespec pause = {0, 1000 * 1000};
    while (!resident(filler->data + offset)) {
        if (filler->stop.load(std::memory_order_relaxed)) {
            return false;
        }
        nanosleep(&pause, nullptr);
    }
    return true;
}

void* fill(void* argument) {
    PageFiller* filler = static_cast<PageFiller*>(argument);
    size_t reached = 0; // the tripwire the filler must have touched
    size_t tripwire = kFirstTripwire;
    size_t at = filler->from;
    while (tripwire < at) {
        reached = tripwire;
        tripwire = nextTripwire(tripwire);
    }
    // Offset 0 is a tripwire too: nothing is faulted before the filler
    // has begun.
    if (at == 0) {
        at = kStep;
    }
    while (at < filler->length && !filler->stop.load(std::memory_order_relaxed)) {
        if (at == tripwire) {
            if (!waitUntilResident(filler, reached)) {
                break;
            }
            reached = tripwire;
            tripwire = nextTripwire(tripwire);
            at += kStep;
            continue;
        }
        // One step a call, so that a stop request is seen soon.
        size_t end = (at + kStep) & ~(kStep - 1);
        end = end < tripwire ? end : tripwire;
        end = end < filler->length ? end : filler->length;
        if (madvise(filler->data + at, end - at, MADV_POPULATE_WRITE) != 0) {
            break;
        }
        at = end;
    }
    return nullptr;
}

} // namespace

void startFilling(PageFiller* filler, unsigned char* data, size_t length, size_t from) {
    filler->running = false;
    if (from >= length) {
        return;
    }
    filler->data = data;
    filler->length = length;
    filler->from = from;
    filler->stop.store(false, std::memory_order_relaxed);
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        return;
    }
    // The helper only makes system calls.
    pthread_attr_setstacksize(&attributes, 64 * 1024);
    filler->running = pthread_create(&filler->thread, &attributes, fill, filler) == 0;
    pthread_attr_destroy(&attributes);
}

void stopFilling(PageFiller* filler) {
    if (filler->running) {
        filler->stop.store(true, std::memory_order_relaxed);
        pthread_join(filler->thread, nullptr);
        filler->running = false;
    }
}

} // namespace posix
