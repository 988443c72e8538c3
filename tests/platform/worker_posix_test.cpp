// The second thread and the event by which one thread tells the other that
// there is more, as the decoder tells the unpacking.
#include "platform/posix/posix_impl.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

constexpr int kRounds = 200;

struct Handover {
    platform::Signal ask;
    platform::Signal told;
    std::atomic<int> value;
};

void answer(void* context) {
    Handover* handover = static_cast<Handover*>(context);
    for (int round = 1; round <= kRounds; ++round) {
        posix::waitForSignal(handover->ask);
        handover->value.store(round);
        posix::raiseSignal(handover->told);
    }
}

// Each wait takes one raise, whether it came before the wait or during it.
TEST(PosixWorker, EachWaitTakesOneRaiseOfTheOtherThread) {
    Handover handover = {posix::createSignal(), posix::createSignal(), {0}};
    ASSERT_NE(handover.ask, nullptr);
    platform::Worker worker = posix::startWorker(answer, &handover);
    ASSERT_NE(worker, nullptr);
    for (int round = 1; round <= kRounds; ++round) {
        posix::raiseSignal(handover.ask);
        posix::waitForSignal(handover.told);
        ASSERT_EQ(handover.value.load(), round);
    }
    posix::finishWorker(worker);
    posix::closeSignal(handover.ask);
    posix::closeSignal(handover.told);
    posix::closeSignal(nullptr);
}

} // namespace
