#pragma once

#include <QByteArray>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

#include "devices/DeviceEvents.h"
#include "devices/TCommonDevice.h"
#include "devices/TScriptCue.h"

namespace kv {

class TCommonControl;
class TSoftControl;

// The bus manager: the one owning list of devices on the bus, the search that fills it, the
// discovery of other consoles and the answers to theirs, and the lookups the console uses.
// Main thread only; the scan runs on a QTimer of the calling thread.
class TControls {
public:
    explicit TControls(TPortProto& bus);
    ~TControls();
    TControls(const TControls&) = delete;
    TControls& operator=(const TControls&) = delete;

    enum : uint8_t { SearchActive = 1, SearchScanning = 2, SearchOn = 3 };

    // 3 starts the search from address 240, 0 stops it.
    void SetSearch(uint8_t flags);
    bool Searching() const { return (SearchFlags & SearchActive) != 0; }
    // One address of the scan (the timer's handler; callable directly).
    void ScanStep();
    // Creates the device if new, then identifies and polls it. Returns nullptr when the address
    // holds nothing registrable or the module failed its identification.
    TCommonDevice* RegisterDevice(int address, int port);
    TSoftControl* RegisterSoftControl(int consoleId, int port);
    TSoftControl* FindSoftControl(int consoleId) const;
    // A frame received outside any exchange: bytes 0..5.
    void HandleUnsolicited(const uint8_t* frame, int port);

    TCommonDevice* FindByAddress(int address) const;
    int Count() const { return static_cast<int>(items_.size()); }
    TCommonDevice* Items(int index) const;
    // The entry at index as a module, or nullptr when it is none.
    TCommonControl* ModuleAt(int index) const;
    int IndexOf(const TCommonDevice* device) const;
    // Puts device at index and hands the previous entry back to the caller.
    std::unique_ptr<TCommonDevice> SetItem(int index, std::unique_ptr<TCommonDevice> device);
    // Removes the entry at index and frees it.
    void Delete(int index);
    // Appends a device made elsewhere (a tool's or a test's list); no identification, no event.
    TCommonDevice* Add(std::unique_ptr<TCommonDevice> device);

    int ModuleCount() const;
    int FirstModuleIndex() const;
    int LastModuleIndex() const;
    int RadioUnitCount() const;
    int RadioUnitsInError() const;
    int HasRemoteControl() const;
    int SoftControlCount() const;
    // Ascending by address, stable: consoles (all 255) keep their registration order.
    void SortByAddress();

    TPortProto& Bus() const { return bus_; }

    // The script in the modules' memory and their black boxes (see devices/ScriptTransfer.h);
    // progress through OnTransferProgress. Write and verify sort the cues by time in place.
    int32_t WriteScript(std::vector<TScriptCue>& cues);
    int32_t VerifyScript(std::vector<TScriptCue>& cues);
    int32_t EraseScripts();
    // buffer: one record per module; size: its byte count.
    int32_t ReadBlackBox(QByteArray& buffer, int& size);

    // Fields in their documented order.
    uint8_t SearchFlags = 0;
    QTimer ScanTimer;
    int32_t ScanCursor = 0;
    ChangeEvent OnChange;
    SearchProgressEvent OnSearchProgress;
    TransferProgressEvent OnTransferProgress;

    // Pause between the steps of a registration: modules need time between commands.
    static constexpr uint32_t kRegisterPauseMs = 100;
    static constexpr uint32_t kConsolePauseMs = 5;

private:
    void DiscoverConsoles();
    void ProbeAddress(int address);
    void ReplyToConsoleProbe(const uint8_t* frame);
    void Changed(int address);
    std::unique_ptr<TCommonDevice> CreateModule(int address, int port);

    TPortProto& bus_;
    std::vector<std::unique_ptr<TCommonDevice>> items_;
    bool scanning_ = false;
};

}  // namespace kv
