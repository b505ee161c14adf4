#include "store/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Mode for the replacement: the old file's, or the usual default.
mode_t ReplacementMode(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) == 0)
        return info.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

CReplacementFile::CReplacementFile(std::string path, RenameFunction rename)
    : path(std::move(path)), renameFile(rename)
{
}

CReplacementFile::~CReplacementFile()
{
    Discard();
}

bool CReplacementFile::Open()
{
    Discard();
    temporary = path + ".XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        const int error = errno;
        temporary.clear();
        return Fail(error);
    }
    if (fchmod(fd, ReplacementMode(path)) != 0 || !(stream = fdopen(fd, "wb"))) {
        const int error = errno;
        close(fd);
        return Fail(error);
    }
    return true;
}

bool CReplacementFile::Commit()
{
    return Finish(true);
}

bool CReplacementFile::CommitNew()
{
    return Finish(false);
}

bool CReplacementFile::Finish(bool replace)
{
    if (!stream)
        return Fail(EBADF);
    // A write error stays with the stream; a full disk often shows only at
    // the flush or the sync.
    int error = std::ferror(stream) ? EIO : 0;
    if (!error && std::fflush(stream) != 0)
        error = errno;
    if (!error && fsync(fileno(stream)) != 0)
        error = errno;
    const int closed = std::fclose(stream);
    stream = nullptr;
    if (!error && closed != 0)
        error = errno;
    if (!error) {
        errno = 0;
        const int placed = replace ? renameFile(temporary.c_str(), path.c_str()) : link(temporary.c_str(), path.c_str());
        if (placed != 0)
            error = errno ? errno : EIO;
    }
    if (error)
        return Fail(error);
    if (!replace)
        unlink(temporary.c_str());
    temporary.clear();
    return true;
}

bool CReplacementFile::Fail(int error)
{
    reason = std::strerror(error);
    Discard();
    return false;
}

void CReplacementFile::Discard()
{
    if (stream) {
        std::fclose(stream);
        stream = nullptr;
    }
    if (!temporary.empty()) {
        unlink(temporary.c_str());
        temporary.clear();
    }
}

bool ReplaceFileContents(const std::string& path, const void* data, size_t size, std::string& reason)
{
    CReplacementFile file(path);
    if (!file.Open()) {
        reason = file.Reason();
        return false;
    }
    errno = 0;
    if (std::fwrite(data, 1, size, file.Stream()) != size) {
        reason = std::strerror(errno ? errno : EIO);
        return false;
    }
    if (!file.Commit()) {
        reason = file.Reason();
        return false;
    }
    return true;
}
