// Reading and writing whole EEPROM image files for halden-eeprom: the
// checks a file must pass before it is used, the advisory lock that the
// simulators hold on the file they run with, and writes that replace the
// file whole or not at all.
#pragma once

#include <array>
#include <cstdint>
#include <string>

using EepromImage = std::array<uint8_t, 32768>;

// Reads a file of at most nLimit bytes. Fails (false, with one line in
// sError) for a missing, unreadable or non-regular file, or one above the
// limit.
bool ReadWholeFile(const std::string& sPath, size_t nLimit, std::string* psData, std::string* psError);

// Reads an image: the file must be a regular file of exactly 32768 bytes.
bool ReadEepromImage(const std::string& sPath, EepromImage* pImage, std::string* psError);

// Holds the simulators' advisory lock on an image file for its lifetime.
class CEepromLock {
public:
    CEepromLock() = default;
    ~CEepromLock();
    CEepromLock(const CEepromLock&) = delete;
    CEepromLock& operator=(const CEepromLock&) = delete;

    // Takes the lock without waiting. An absent file is not an error (it
    // then holds nothing and Exists() is false); a file held by a running
    // simulator is.
    bool Acquire(const std::string& sPath, std::string* psError);
    bool Exists() const { return m_nFile >= 0; }

private:
    int m_nFile = -1;
};

// False (with "PATH is read-only" in sError) when the file exists without
// any write bit. The mode bits decide, not access(), so that root is
// refused too, as the simulators refuse to write such an image.
bool CheckNotReadOnly(const std::string& sPath, std::string* psError);

// Replaces the file with the bytes (never a read-only one): a temporary file beside it is written
// and synced, then renamed over it, so the file is either the old or the
// new one. An existing file keeps its permission bits.
bool ReplaceFile(const std::string& sPath, const void* pData, size_t nSize, std::string* psError);
