// Faults a fresh block's pages in on a helper thread, ahead of the one
// thread that fills the block from its start to its end.
//
// On a virtual machine the first touch of memory that the host has not
// backed yet costs more than the zeroing (1 to 3 ms a MiB). Every payload
// block is filled front to back right after it is made (by the decoder or
// by a read), so the helper takes those first touches on another core.
// MADV_POPULATE_WRITE never changes a byte, so the two threads never write
// the same memory. Without that call (Linux before 5.14) the helper ends at
// once and the pages fault in as they are touched.
//
// The helper never gets far ahead of the filling thread. It leaves some
// 2 MiB steps, tripwires, for the filler to touch, and before it passes one
// it waits until the one before is resident. A block that never gets filled
// (a header that claims far more than its data gives) therefore never
// becomes resident either: at most about 16 MiB, or as much as the filler
// wrote, beyond the filler.
#pragma once

#include <pthread.h>
#include <stddef.h>

#include <atomic>

namespace posix {

struct PageFiller {
    unsigned char* data;
    size_t length;
    size_t from;
    pthread_t thread;
    bool running;
    std::atomic<bool> stop;
};

// Starts faulting in [from, length) of the block at `data`, whose start is
// on a 2 MiB boundary; bytes before `from` are taken as filled already.
void startFilling(PageFiller* filler, unsigned char* data, size_t length, size_t from);

// Stops and joins the helper; before the block is moved, resized, discarded
// or unmapped. Nothing when none runs.
void stopFilling(PageFiller* filler);

} // namespace posix
