// A second thread, as the Windows build starts one.
#include <pthread.h>
#include <stdlib.h>

#include "platform/posix/posix_impl.h"

namespace posix {

namespace {

struct Work {
    pthread_t thread;
    void (*work)(void*);
    void* context;
};

void* runWork(void* parameter) {
    const Work* work = static_cast<const Work*>(parameter);
    work->work(work->context);
    return nullptr;
}

} // namespace

platform::Worker startWorker(void (*work)(void*), void* context) {
    Work* record = static_cast<Work*>(malloc(sizeof(Work)));
    if (record == nullptr) {
        return nullptr;
    }
    record->work = work;
    record->context = context;
    if (pthread_create(&record->thread, nullptr, runWork, record) != 0) {
        free(record);
        return nullptr;
    }
    return reinterpret_cast<platform::Worker>(record);
}

void finishWorker(platform::Worker worker) {
    if (worker == nullptr) {
        return;
    }
    Work* record = reinterpret_cast<Work*>(worker);
    pthread_join(record->thread, nullptr);
    free(record);
}

} // namespace posix
