#pragma once

#include <string>

// What became of opening a sound file in a child process.
enum class SoundFileProbe {
    Finished,  // libsndfile's open returned, with the file or with an error
    TooSlow,   // it had not returned within the time limit
    Crashed,   // the child died inside it
    NotRun,    // no child could be started
};

// Opens `path` with libsndfile in a child process and closes it again, and
// waits at most `limitMs` for that. Some damaged headers send libsndfile's
// parser into an endless loop (libsndfile 1.2 wraps a LIST sub-chunk's
// 32-bit size and steps back to where it started), and a loop inside the
// library cannot be stopped in this process; in a child it is simply
// killed.
SoundFileProbe ProbeSoundFile(const std::string& path, int limitMs);
