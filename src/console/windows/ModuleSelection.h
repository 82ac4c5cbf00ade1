#pragma once

namespace kv {

class TCommonControl;

// The module a panel of the test page works on: the one selected now, or none. Asked at each
// use, so that a panel never holds a module the bus manager has since dropped.
class ModuleSelection {
public:
    virtual TCommonControl* SelectedModule() const = 0;

protected:
    ~ModuleSelection() = default;
};

}  // namespace kv
