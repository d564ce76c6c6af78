// Image files of halden-eeprom: checked reads, the lock, whole-file writes.
#include "eeprom_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Reason() { return std::strerror(errno); }

// Opens without blocking (a named pipe must not hang the tool) and insists
// on a regular file.
int OpenRegular(const std::string& sPath, int nFlags, std::string* psError)
{
    int nFile = open(sPath.c_str(), nFlags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (nFile < 0) {
        *psError = "cannot open " + sPath + ": " + Reason();
        return -1;
    }
    struct stat st;
    if (fstat(nFile, &st) != 0) {
        *psError = "cannot examine " + sPath + ": " + Reason();
        close(nFile);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        *psError = sPath + " is not a regular file";
        close(nFile);
        return -1;
    }
    return nFile;
}

bool WriteAll(int nFile, const uint8_t* pb, size_t nSize)
{
    while (nSize > 0) {
        ssize_t n = write(nFile, pb, nSize);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        pb += n;
        nSize -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool ReadWholeFile(const std::string& sPath, size_t nLimit, std::string* psData, std::string* psError)
{
    int nFile = OpenRegular(sPath, O_RDONLY, psError);
    if (nFile < 0)
        return false;
    psData->clear();
    char ac[65536];
    for (;;) {
        ssize_t n = read(nFile, ac, sizeof ac);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *psError = "cannot read " + sPath + ": " + Reason();
            close(nFile);
            return false;
        }
        if (n == 0)
            break;
        if (psData->size() + static_cast<size_t>(n) > nLimit) {
            *psError = sPath + " is too large (more than " + std::to_string(nLimit) + " bytes)";
            close(nFile);
            return false;
        }
        psData->append(ac, static_cast<size_t>(n));
    }
    close(nFile);
    return true;
}

bool ReadEepromImage(const std::string& sPath, EepromImage* pImage, std::string* psError)
{
    std::string sData;
    if (!ReadWholeFile(sPath, pImage->size(), &sData, psError)) {
        if (psError->find("too large") != std::string::npos)
            *psError = sPath + " is longer than an EEPROM image (32768 bytes)";
        return false;
    }
    if (sData.size() != pImage->size()) {
        *psError = sPath + " is truncated: " + std::to_string(sData.size()) +
                   " bytes where an EEPROM image has 32768";
        return false;
    }
    std::memcpy(pImage->data(), sData.data(), pImage->size());
    return true;
}

CEepromLock::~CEepromLock()
{
    if (m_nFile >= 0)
        close(m_nFile);
}

bool CEepromLock::Acquire(const std::string& sPath, std::string* psError)
{
    int nFile = open(sPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (nFile < 0) {
        if (errno == ENOENT)
            return true;
        *psError = "cannot open " + sPath + ": " + Reason();
        return false;
    }
    if (flock(nFile, LOCK_EX | LOCK_NB) != 0) {
        *psError = errno == EWOULDBLOCK ? sPath + " is in use by a running simulator; close it first"
                                        : "cannot lock " + sPath + ": " + Reason();
        close(nFile);
        return false;
    }
    m_nFile = nFile;
    return true;
}

bool CheckNotReadOnly(const std::string& sPath, std::string* psError)
{
    struct stat st;
    if (stat(sPath.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        *psError = sPath + " is read-only";
        return false;
    }
    return true;
}

bool ReplaceFile(const std::string& sGivenPath, const void* pData, size_t nSize, std::string* psError)
{
    if (!CheckNotReadOnly(sGivenPath, psError))
        return false;
    // A symbolic link keeps pointing at the replaced file.
    std::string sPath = sGivenPath;
    if (char* pszReal = realpath(sGivenPath.c_str(), nullptr)) {
        sPath = pszReal;
        free(pszReal);
    }
    mode_t nMode = 0666;
    struct stat st;
    bool bExists = stat(sPath.c_str(), &st) == 0;
    if (bExists) {
        if (!S_ISREG(st.st_mode)) {
            *psError = sPath + " is not a regular file";
            return false;
        }
        nMode = st.st_mode & 07777;
    }
    std::string sTemp = sPath + ".XXXXXX";
    int nFile = mkstemp(sTemp.data());
    if (nFile < 0) {
        *psError = "cannot write beside " + sPath + ": " + Reason();
        return false;
    }
    // mkstemp creates the file 0600; a new file gets the usual bits under the umask.
    if (!bExists) {
        mode_t nMask = umask(0);
        umask(nMask);
        nMode = 0666 & ~nMask;
    }
    bool bDone = fchmod(nFile, nMode) == 0 && WriteAll(nFile, static_cast<const uint8_t*>(pData), nSize) &&
                 fsync(nFile) == 0;
    std::string sWhy = bDone ? std::string() : Reason();
    if (close(nFile) != 0 && bDone) {
        bDone = false;
        sWhy = Reason();
    }
    if (bDone && rename(sTemp.c_str(), sPath.c_str()) != 0) {
        bDone = false;
        sWhy = Reason();
    }
    if (!bDone) {
        unlink(sTemp.c_str());
        *psError = "cannot write " + sPath + ": " + sWhy;
        return false;
    }
    return true;
}
