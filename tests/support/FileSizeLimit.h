// A write cut short as a full disk cuts it: the process's file size limit is lowered for the
// call (with SIGXFSZ ignored, so the write fails with EFBIG instead of ending the test) and put
// back afterwards.
#pragma once

#include <csignal>
#include <sys/resource.h>

namespace testsupport {

template <class Write> auto UnderFileSizeLimit(rlim_t limit, Write write) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ::sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    struct Restore {
        rlimit saved;
        struct sigaction previous;
        ~Restore() {
            ::setrlimit(RLIMIT_FSIZE, &saved);
            ::sigaction(SIGXFSZ, &previous, nullptr);
        }
    } restore{saved, previous};
    return write();
}

} // namespace testsupport
