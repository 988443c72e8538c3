#include "platform/posix/open_rewrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posix {

int openForRewrite(const char* host, bool readable, mode_t mode) {
    const int descriptor = open(host, (readable ? O_RDWR : O_WRONLY) | O_CREAT | O_CLOEXEC, mode);
    if (descriptor < 0) {
        return -1;
    }
    struct stat status;
    if (fstat(descriptor, &status) != 0 || (status.st_size != 0 && ftruncate(descriptor, 0) != 0)) {
        close(descriptor);
        return -1;
    }
    return descriptor;
}

} // namespace posix
