#pragma once

#include <sys/types.h>

#include <vector>

namespace kv {

// Busy processes, one a core, for the lifetime of the object.
class CpuHogs {
public:
    explicit CpuHogs(int count);
    ~CpuHogs();
    CpuHogs(const CpuHogs&) = delete;
    CpuHogs& operator=(const CpuHogs&) = delete;
    int Count() const { return static_cast<int>(pids_.size()); }

private:
    std::vector<pid_t> pids_;
};

}  // namespace kv
