#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// A file that takes the place of `path` only once it has been written
// whole. It is written to a temporary file in the same folder (with the
// mode of the file it replaces, or the usual default), flushed to the disk
// and closed with every error checked, and then renamed over `path`, and
// the folder is synced so that the rename survives a power cut. Where
// `path` is a symbolic link, all of that happens beside the file the link
// points to, and the link stays. Until Commit succeeds the file at `path`
// is untouched; a replacement that fails or is abandoned removes its
// temporary file. One object is not for use from two threads; objects on
// different threads do not disturb each other (the umask is never changed).
class CReplacementFile {
public:
    using RenameFunction = int (*)(const char* from, const char* to);

    explicit CReplacementFile(std::string path, RenameFunction rename = std::rename);
    // Removes the temporary file unless it was committed.
    ~CReplacementFile();

    CReplacementFile(const CReplacementFile&) = delete;
    CReplacementFile& operator=(const CReplacementFile&) = delete;

    // Creates the temporary file; false, with the reason, when it cannot.
    bool Open();
    // Where the new contents go, between Open and Commit.
    FILE* Stream() const { return stream; }
    // Flushes, syncs and closes the temporary file and renames it over the
    // path; false, with the reason, when any step fails.
    bool Commit();
    // The same, but the file goes into place only where no file is: it is
    // linked to the path, which fails when the path exists (even as an
    // empty file), and never replaces what is there.
    bool CommitNew();
    // Why Open or Commit failed, in the system's words ("No space left on
    // device").
    const std::string& Reason() const { return reason; }

private:
    bool Finish(bool replace);
    bool Fail(int error);
    void Discard();

    std::string path;
    std::string target;  // the file `path` names, its links followed
    RenameFunction renameFile;
    std::string temporary;
    FILE* stream = nullptr;
    std::string reason;
};

// Writes `size` bytes as the new contents of `path` through a replacement
// file; false, with the reason in `reason`, when they could not be written
// whole (the file at `path` is then as it was).
bool ReplaceFileContents(const std::string& path, const void* data, size_t size, std::string& reason);
