#include "process.h"

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

void redirect(posix_spawn_file_actions_t* actions, int fd, const std::string& path) {
    const char* target = path.empty() ? "/dev/null" : path.c_str();
    posix_spawn_file_actions_addopen(actions, fd, target, O_WRONLY | O_CREAT | O_APPEND, 0644);
}

} // namespace

pid_t startProcess(const std::vector<std::string>& argv, const std::vector<std::string>* env,
                   const std::string& out, const std::string& err) {
    posix_spawn_file_actions_t actions;
    if (argv.empty() || posix_spawn_file_actions_init(&actions) != 0) {
        return -1;
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    redirect(&actions, 1, out);
    if (err == out && !out.empty()) {
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    } else {
        redirect(&actions, 2, err);
    }
    std::vector<std::string> args = argv;
    std::vector<std::string> vars = env != nullptr ? *env : std::vector<std::string>();
    std::vector<char*> varPointers = pointers(vars);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, pointers(args).data(),
                                   env != nullptr ? varPointers.data() : environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

ProcessResult waitProcess(pid_t pid) {
    ProcessResult result;
    if (pid <= 0) {
        return result;
    }
    int status = 0;
    struct rusage usage = {};
    pid_t done;
    do {
        done = wait4(pid, &status, 0, &usage);
    } while (done < 0 && errno == EINTR);
    if (done == pid && WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    result.peakKiB = usage.ru_maxrss;
    return result;
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>* env,
                         const std::string& out, const std::string& err) {
    return waitProcess(startProcess(argv, env, out, err));
}
