#include "CpuHogs.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kv {

CpuHogs::CpuHogs(int count) {
    for (int i = 0; i < count; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            volatile unsigned long spin = 0;
            for (;;) {
                spin = spin + 1;
            }
        }
        if (pid > 0) {
            pids_.push_back(pid);
        }
    }
}

CpuHogs::~CpuHogs() {
    for (const pid_t pid : pids_) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

}  // namespace kv
