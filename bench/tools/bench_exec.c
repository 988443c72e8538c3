/* Runs one command once and prints its wall-clock time, its peak resident
 * memory, its exit status, the processor time it used (user + system) and
 * its minor page faults, on one line:
 * "SECONDS MAXRSS_KIB STATUS CPU_SECONDS MINOR_FAULTS".
 *
 *   bench_exec [-o FILE] [-e FILE] [-C DIR] -- COMMAND [ARG]...
 *
 * The command's standard output goes to FILE (-o, created or emptied) or to
 * /dev/null, its standard error to FILE (-e) or /dev/null, so that no
 * terminal is ever in the measured path. The clock runs from just before
 * the spawn to the return of wait4, whose rusage gives the peak resident
 * set of the command's process (what GNU time -v calls "Maximum resident
 * set size"), its processor time and its minor faults (first touches of
 * memory, each a few microseconds on a virtual machine). STATUS is the exit code, or 128 + the
 * signal number. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

static int usage(void) {
    fputs("usage: bench_exec [-o FILE] [-e FILE] [-C DIR] -- COMMAND [ARG]...\n", stderr);
    return 2;
}

int main(int argc, char** argv) {
    const char* outPath = "/dev/null";
    const char* errPath = "/dev/null";
    const char* directory = NULL;
    int i = 1;
    for (; i < argc; ++i) {
        if (strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        }
        if (i + 1 >= argc) {
            return usage();
        }
        if (strcmp(argv[i], "-o") == 0) {
            outPath = argv[++i];
        } else if (strcmp(argv[i], "-e") == 0) {
            errPath = argv[++i];
        } else if (strcmp(argv[i], "-C") == 0) {
            directory = argv[++i];
        } else {
            return usage();
        }
    }
    if (i >= argc) {
        return usage();
    }
    if (directory != NULL && chdir(directory) != 0) {
        perror(directory);
        return 2;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath, O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath, O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);

    struct timespec start;
    struct timespec end;
    pid_t child = 0;
    clock_gettime(CLOCK_MONOTONIC, &start);
    const int spawned = posix_spawnp(&child, argv[i], &actions, NULL, argv + i, environ);
    if (spawned != 0) {
        fprintf(stderr, "bench_exec: cannot start %s: %s\n", argv[i], strerror(spawned));
        return 2;
    }
    int status = 0;
    struct rusage usage;
    memset(&usage, 0, sizeof usage);
    if (wait4(child, &status, 0, &usage) != child) {
        perror("wait4");
        return 2;
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    posix_spawn_file_actions_destroy(&actions);

    const double seconds =
        (double)(end.tv_sec - start.tv_sec) + (double)(end.tv_nsec - start.tv_nsec) / 1e9;
    const double cpu = (double)usage.ru_utime.tv_sec + (double)usage.ru_utime.tv_usec / 1e6 +
                       (double)usage.ru_stime.tv_sec + (double)usage.ru_stime.tv_usec / 1e6;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    printf("%.6f %ld %d %.6f %ld\n", seconds, usage.ru_maxrss, code, cpu, usage.ru_minflt);
    return 0;
}
