#pragma once

#include <QString>
#include <cstdint>

namespace kv {

// An audio file as the show sees it: a name, a stream that is opened and closed, and positions
// and lengths in bytes of the decoded PCM.
class TFileAbstract {
public:
    virtual ~TFileAbstract() = default;

    virtual void SetFileName(const QString& name) { fileName_ = name; }
    // Requires the name; afterwards Loaded() tells whether a stream exists.
    virtual void OpenStream() = 0;
    virtual void CloseStream() = 0;
    virtual int64_t LengthBytes() const = 0;
    virtual int64_t PositionBytes() const = 0;
    virtual bool AtEnd() const { return PositionBytes() >= LengthBytes(); }
    virtual void SetPositionBytes(int64_t position) = 0;
    // Decoded bytes from the position on; returns how many were read.
    virtual int64_t ReadData(void* buffer, int64_t count) = 0;
    // One decoded byte, or -1 at the end.
    virtual int ReadByte() = 0;

    const QString& FileName() const { return fileName_; }

protected:
    QString fileName_;
};

}  // namespace kv
