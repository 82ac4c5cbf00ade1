#include "console/ConsoleDialogs.h"

namespace kv {

ConsoleDialogs& NoDialogs() {
    static ConsoleDialogs nobody;
    return nobody;
}

}  // namespace kv
