#pragma once

#include "bus/TPortProto.h"

namespace kv {

// Installs a protocol object for the lifetime of the guard (tests, kelvanectl).
class ScopedProto {
public:
    explicit ScopedProto(TPortProto& proto) : previous_(ProtoOrNull()) { InstallProto(&proto); }
    ~ScopedProto() { InstallProto(previous_); }
    ScopedProto(const ScopedProto&) = delete;
    ScopedProto& operator=(const ScopedProto&) = delete;

private:
    TPortProto* previous_;
};

}  // namespace kv
