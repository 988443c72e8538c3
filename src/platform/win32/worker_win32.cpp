// A second thread, for decoding the payload while the main thread writes
// files, and the event by which it says there is more.
#include "platform/platform.h"

#include <windows.h>

namespace platform::win32 {

namespace {

struct Work {
    void (*work)(void*);
    void* context;
};

// The work runs on Win32 calls only, never the C runtime's, so a thread
// of CreateThread's is enough for it. The record is the thread's to free.
DWORD WINAPI runWork(LPVOID parameter) {
    Work* work = static_cast<Work*>(parameter);
    work->work(work->context);
    HeapFree(GetProcessHeap(), 0, work);
    return 0;
}

} // namespace

Worker startWorker(void (*work)(void*), void* context) {
    Work* record = static_cast<Work*>(HeapAlloc(GetProcessHeap(), 0, sizeof(Work)));
    if (record == NULL) {
        return NULL;
    }
    record->work = work;
    record->context = context;
    HANDLE thread = CreateThread(NULL, 0, runWork, record, 0, NULL);
    if (thread == NULL) {
        HeapFree(GetProcessHeap(), 0, record);
    }
    return reinterpret_cast<Worker>(thread);
}

void finishWorker(Worker worker) {
    if (worker == NULL) {
        return;
    }
    HANDLE thread = reinterpret_cast<HANDLE>(worker);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

Signal createSignal() {
    return reinterpret_cast<Signal>(CreateEventA(NULL, FALSE, FALSE, NULL));
}

void raiseSignal(Signal signal) {
    SetEvent(reinterpret_cast<HANDLE>(signal));
}

void waitForSignal(Signal signal) {
    WaitForSingleObject(reinterpret_cast<HANDLE>(signal), INFINITE);
}

void closeSignal(Signal signal) {
    if (signal != NULL) {
        CloseHandle(reinterpret_cast<HANDLE>(signal));
    }
}

} // namespace platform::win32
