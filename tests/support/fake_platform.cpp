#include "fake_platform.h"

#include <limits.h>

#include <algorithm>
#include <map>

#include "platform/posix/posix_impl.h"

namespace {

struct Failure {
    int first;
    int last;
    uint32_t lastError;
};

// What getLastError reports after an injected failure that names no error.
constexpr uint32_t kGenericFailure = 31;

struct State {
    std::map<std::string, int> counts;
    std::map<std::string, Failure> failures;
    std::map<std::string, std::pair<int, std::function<void()>>> hooks;
    std::vector<std::string> calls;
    std::vector<unsigned char> resource;
    bool hasResource = false;
    std::vector<unsigned char> description;
    bool hasDescription = false;
    bool denyMachine = false;
    bool denyUser = false;
    bool startProcesses = false;
    uint32_t injectedError = 0; // what getLastError reports after an injected failure
    size_t largestAllocation = 0;
    uint32_t writeLimit = UINT32_MAX; // the next writeFile takes at most this
};

State& state() {
    static State instance;
    return instance;
}

void log(const std::string& entry) {
    state().calls.push_back(entry);
}

bool shouldFail(const char* operation) {
    State& s = state();
    const int count = ++s.counts[operation];
    const auto hook = s.hooks.find(operation);
    if (hook != s.hooks.end() && hook->second.first == count) {
        hook->second.second();
    }
    const std::string name = operation;
    const auto found = s.failures.find(name);
    const bool fails =
        found != s.failures.end() && count >= found->second.first && count <= found->second.last;
    // An injected error lasts until the next call of another operation;
    // the code-page question leaves the error alone, as on Windows.
    if (name != "getLastError" && name != "isDbcsLeadByte") {
        s.injectedError = !fails                         ? 0
                          : found->second.lastError != 0 ? found->second.lastError
                                                         : kGenericFailure;
    }
    return fails;
}

void noteAllocation(size_t size) {
    state().largestAllocation = std::max(state().largestAllocation, size);
}

// Operations that the fake answers itself; everything else is the stand-in's.
namespace route {

platform::ResourceBytes loadResource(const char* type, uint16_t id) {
    if (std::string(type) == "PRODUCT" && id == 106) {
        const State& s = state();
        return s.hasDescription
                   ? platform::ResourceBytes{s.description.data(),
                                             static_cast<uint32_t>(s.description.size())}
                   : platform::ResourceBytes{nullptr, 0};
    }
    if (!state().hasResource) {
        return posix::loadResource(type, id);
    }
    if (std::string(type) != "PACKAGE" || id != 105) {
        return {nullptr, 0};
    }
    return {state().resource.data(), static_cast<uint32_t>(state().resource.size())};
}

bool createProcess(const char* applicationName, const char* commandLine) {
    log(std::string("createProcess:") + applicationName);
    log(std::string("commandLine:") + commandLine);
    return state().startProcesses ? posix::createProcess(applicationName, commandLine) : true;
}

bool shellExecute(const char* path) {
    log(std::string("shellExecute:") + path);
    return state().startProcesses ? posix::shellExecute(path) : true;
}

uint32_t getLastError() {
    return state().injectedError != 0 ? state().injectedError : posix::getLastError();
}

void* allocateMemory(size_t size) {
    noteAllocation(size);
    return posix::allocateMemory(size);
}

// A disk that fills up: the write succeeds with fewer bytes than asked.
bool writeFile(platform::FileHandle file, const void* data, uint32_t size, uint32_t* written) {
    const uint32_t limit = state().writeLimit;
    state().writeLimit = UINT32_MAX;
    return posix::writeFile(file, data, size < limit ? size : limit, written);
}

void* reallocateMemory(void* block, size_t size) {
    noteAllocation(size);
    return posix::reallocateMemory(block, size);
}

long regCreateKey(platform::RegistryKey root, const char* subKey, uint32_t access,
                  platform::RegistryKey* key) {
    const bool denied =
        (access & platform::kKeySetValue) != 0 &&
        ((root == posix::rootKey(platform::kHkeyLocalMachine) && state().denyMachine) ||
         (root == posix::rootKey(platform::kHkeyCurrentUser) && state().denyUser));
    if (denied) {
        return 5; // ERROR_ACCESS_DENIED
    }
    return posix::regCreateKey(root, subKey, access, key);
}

long regSetValue(platform::RegistryKey key, const char* valueName, uint32_t type,
                 const unsigned char* data, uint32_t size) {
    log(std::string("regSetValue:") + valueName);
    return posix::regSetValue(key, valueName, type, data, size);
}

uint32_t setErrorMode(uint32_t mode) {
    log("setErrorMode:" + std::to_string(mode));
    return posix::setErrorMode(mode);
}

// The work is done at once, on the caller's thread: the log and the
// injected failures stay in the order of the calls.
platform::Worker startWorker(void (*work)(void*), void* context) {
    work(context);
    static int finished;
    return reinterpret_cast<platform::Worker>(&finished);
}

void finishWorker(platform::Worker) {}

platform::FileHandle createFileForWriting(const char* path) {
    log(std::string("createFileForWriting:") + path);
    return posix::createFileForWriting(path);
}

void sleepMilliseconds(uint32_t milliseconds) {
    // Logged, not slept: the pause's length is checked, the tests stay fast.
    log("sleepMilliseconds:" + std::to_string(milliseconds));
}

// Where each operation goes once the fake has logged it and let it pass.
platform::Operations routes() {
    platform::Operations table = {
#define VEM_OPERATION(result, name, parameters, failure) posix::name,
#include "platform/operations.def"
#undef VEM_OPERATION
    };
    table.loadResource = loadResource;
    table.createProcess = createProcess;
    table.shellExecute = shellExecute;
    table.getLastError = getLastError;
    table.allocateMemory = allocateMemory;
    table.reallocateMemory = reallocateMemory;
    table.regCreateKey = regCreateKey;
    table.regSetValue = regSetValue;
    table.sleepMilliseconds = sleepMilliseconds;
    table.startWorker = startWorker;
    table.writeFile = writeFile;
    table.createFileForWriting = createFileForWriting;
    table.finishWorker = finishWorker;
    table.setErrorMode = setErrorMode;
    return table;
}

} // namespace route

// The entry the fake puts into the table for one operation: log the call,
// fail it when asked, otherwise pass it on.
template <typename Operation, typename Function> struct Entry;
template <typename Operation, typename Result, typename... Arguments>
struct Entry<Operation, Result (*)(Arguments...)> {
    static Result call(Arguments... arguments) {
        log(Operation::kName);
        if (shouldFail(Operation::kName)) {
            return Operation::failed();
        }
        static const platform::Operations routes = route::routes();
        return (routes.*Operation::kEntry)(arguments...);
    }
};

#define VEM_OPERATION(result, name, parameters, failure)                                           \
    struct name##Operation {                                                                       \
        static constexpr const char* kName = #name;                                                \
        static constexpr auto kEntry = &platform::Operations::name;                                \
        static result failed() { return failure; }                                                 \
    };
#include "platform/operations.def"
#undef VEM_OPERATION

// A close that is made to fail still lets the handle go, as CloseHandle
// does: the handle is gone whatever the call returned.
bool closeFileReleasing(platform::FileHandle file) {
    log("closeFile");
    const bool fails = shouldFail("closeFile");
    const bool closed = posix::closeFile(file);
    return !fails && closed;
}

void install() {
#define VEM_OPERATION(result, name, parameters, failure)                                           \
    platform::operations.name = Entry<name##Operation, decltype(platform::Operations::name)>::call;
#include "platform/operations.def"
#undef VEM_OPERATION
    platform::operations.closeFile = closeFileReleasing;
}

// Whatever links the fake runs on it from the start.
[[maybe_unused]] const bool installed = (install(), true);

} // namespace

namespace fake {

void reset() {
    State& s = state();
    s = State();
    install();
    posix::setAnsiCodePage(0);
}

void failCall(const std::string& operation, int nth, bool always, uint32_t lastError) {
    failCalls(operation, nth, always ? INT_MAX / 2 : 1, lastError);
}

void failCalls(const std::string& operation, int nth, int count, uint32_t lastError) {
    State& s = state();
    const int first = s.counts[operation] + nth;
    s.failures[operation] = {first, first + count - 1, lastError};
}

void setAnsiCodePage(unsigned codePage) {
    posix::setAnsiCodePage(codePage);
}

void shortenNextWrite(uint32_t bytes) {
    state().writeLimit = bytes;
}

size_t largestAllocation() {
    return state().largestAllocation;
}

void onCall(const std::string& operation, int nth, std::function<void()> hook) {
    State& s = state();
    s.hooks[operation] = {s.counts[operation] + nth, std::move(hook)};
}

void denyRegistryWrites(bool machine, bool user) {
    state().denyMachine = machine;
    state().denyUser = user;
}

void setResource(std::vector<unsigned char> bytes) {
    state().resource = std::move(bytes);
    state().hasResource = true;
}

void setDescription(std::vector<unsigned char> bytes) {
    state().description = std::move(bytes);
    state().hasDescription = true;
}

void allowProcessStart(bool allow) {
    state().startProcesses = allow;
}

const std::vector<std::string>& calls() {
    return state().calls;
}

int countCalls(const std::string& operation) {
    return static_cast<int>(std::count(state().calls.begin(), state().calls.end(), operation));
}

std::vector<std::string> callsWithDetail(const std::string& operation) {
    std::vector<std::string> found;
    const std::string prefix = operation + ":";
    for (const std::string& call : state().calls) {
        if (call.compare(0, prefix.size(), prefix) == 0) {
            found.push_back(call.substr(prefix.size()));
        }
    }
    return found;
}

} // namespace fake
