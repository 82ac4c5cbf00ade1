#include "sim/SimRecord.h"

namespace kv {

const char* SimDirectionName(SimDirection direction) {
    switch (direction) {
        case SimDirection::FromConsole:
            return "tx";
        case SimDirection::FromDevice:
            return "rx";
        case SimDirection::Noise:
            return "noise";
    }
    return "?";
}

}  // namespace kv
