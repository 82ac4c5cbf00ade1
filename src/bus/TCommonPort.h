#pragma once

#include <atomic>
#include <cstdint>

namespace kv {

// The serial port as the frame layer sees it: all converters as one port.
class TCommonPort {
public:
    virtual ~TCommonPort() = default;

    virtual bool Open(int unused) = 0;
    virtual void Close() = 0;
    virtual bool Reopen() = 0;
    // The converters present now.
    virtual int ConverterCount() const = 0;
    // The converter numbers in use: 0..SlotCount()-1. A converter keeps its number while it is
    // gone, so this may exceed ConverterCount().
    virtual int SlotCount() const = 0;
    // Whether the converter of that number is here now.
    virtual bool Present(int converterIndex) const = 0;
    // Opens, at its own number, a converter that was gone and is back. True when one did.
    virtual bool OpenReturned() = 0;
    // 0 when closed, -1 when a converter could not be asked (lost), else the bytes waiting.
    virtual int BytesWaiting() = 0;
    // The same for one converter.
    virtual int BytesWaitingOn(int converterIndex) = 0;
    // converterIndex -1: the first converter in list order that has data.
    virtual int Read(uint8_t* buffer, int count, int converterIndex) = 0;
    // converterIndex becomes the converter that delivered (-1 when none did).
    virtual int ReadAny(uint8_t* buffer, int count, int& converterIndex) = 0;
    // count on success, -1 when closed or the converter is gone, -2 when the write or its echo
    // failed.
    virtual int WriteChecked(const uint8_t* buffer, int count, int converterIndex) = 0;

    // True while the port is open and at least one converter is listed.
    bool Connected() const { return connected.load(); }

protected:
    std::atomic<bool> connected{false};
};

}  // namespace kv
