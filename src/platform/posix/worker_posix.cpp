// A second thread and an auto-reset event, as the Windows build has them.
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

namespace {

struct Event {
    pthread_mutex_t lock;
    pthread_cond_t raised;
    bool set;
};

} // namespace

platform::Signal createSignal() {
    Event* event = static_cast<Event*>(malloc(sizeof(Event)));
    if (event == nullptr) {
        return nullptr;
    }
    pthread_mutex_init(&event->lock, nullptr);
    pthread_cond_init(&event->raised, nullptr);
    event->set = false;
    return reinterpret_cast<platform::Signal>(event);
}

void raiseSignal(platform::Signal signal) {
    Event* event = reinterpret_cast<Event*>(signal);
    pthread_mutex_lock(&event->lock);
    event->set = true;
    pthread_cond_signal(&event->raised);
    pthread_mutex_unlock(&event->lock);
}

void waitForSignal(platform::Signal signal) {
    Event* event = reinterpret_cast<Event*>(signal);
    pthread_mutex_lock(&event->lock);
    while (!event->set) {
        pthread_cond_wait(&event->raised, &event->lock);
    }
    event->set = false; // auto-reset: one wait takes the signal
    pthread_mutex_unlock(&event->lock);
}

void closeSignal(platform::Signal signal) {
    if (signal == nullptr) {
        return;
    }
    Event* event = reinterpret_cast<Event*>(signal);
    pthread_cond_destroy(&event->raised);
    pthread_mutex_destroy(&event->lock);
    free(event);
}

} // namespace posix
