#include "store/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr int MostLinksFollowed = 40;  // as the kernel's path lookup

// The file that `path` names once its symbolic links are followed: the
// replacement goes beside it and is renamed over it, so that a link stays a
// link. A link that points nowhere names the file it points to.
std::string LinkTarget(const std::string& path)
{
    std::string file = path;
    for (int links = 0; links < MostLinksFollowed; ++links) {
        struct stat info;
        if (lstat(file.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return file;
        std::string target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
        const ssize_t length = readlink(file.c_str(), &target[0], target.size());
        if (length <= 0 || static_cast<size_t>(length) >= target.size())
            return file;
        target.resize(static_cast<size_t>(length));
        const size_t slash = file.rfind('/');
        file = target[0] == '/' || slash == std::string::npos ? target : file.substr(0, slash + 1) + target;
    }
    return file;
}

std::string FolderOf(const std::string& file)
{
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
}

// A new file beside `file` with a name of its own, created with the mode
// 0666 less the process's umask, as any new file; -1 with errno set when
// none can be made.
int CreateTemporary(const std::string& file, std::string& name)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%ld.%u.tmp", static_cast<long>(getpid()), counter.fetch_add(1));
        name = file + suffix;
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// A rename is only lasting once the folder that holds it is on the disk.
// Some file systems cannot sync a folder; the file itself is already in
// place and synced then, so that is not a failure.
void SyncFolder(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
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
    target = LinkTarget(path);
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0) {
        const int error = errno;
        temporary.clear();
        return Fail(error);
    }
    // The old file's mode; fchmod, because the umask is the whole process's
    // and other threads may be creating files.
    struct stat old;
    if ((stat(target.c_str(), &old) == 0 && fchmod(fd, old.st_mode & 07777) != 0) || !(stream = fdopen(fd, "wb"))) {
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
        const int placed =
            replace ? renameFile(temporary.c_str(), target.c_str()) : link(temporary.c_str(), target.c_str());
        if (placed != 0)
            error = errno ? errno : EIO;
    }
    if (error)
        return Fail(error);
    if (!replace)
        unlink(temporary.c_str());
    temporary.clear();
    SyncFolder(FolderOf(target));
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
