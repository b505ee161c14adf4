#include "input/sound_file_probe.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace {

// The child: only the open, then _exit, which runs no handlers of the
// parent's and flushes none of its buffers. It dies with the parent (a
// program killed during the probe leaves no child spinning in the library),
// and at the latest `seconds` after it started, should the parent be
// unable to kill it.
[[noreturn]] void OpenInChild(const char* path, int reportFd, pid_t parent, unsigned seconds)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)  // the parent died before the line above
        _exit(1);
    // The alarm ends the child whatever the parent did with the signal.
    signal(SIGALRM, SIG_DFL);
    sigset_t alarmOnly;
    sigemptyset(&alarmOnly);
    sigaddset(&alarmOnly, SIGALRM);
    sigprocmask(SIG_UNBLOCK, &alarmOnly, nullptr);
    alarm(seconds);
    SF_INFO info = {};
    if (SNDFILE* file = sf_open(path, SFM_READ, &info))
        sf_close(file);
    const char done = 1;
    _exit(write(reportFd, &done, 1) == 1 ? 0 : 1);
}

// Waits until the child reports or closes its end of the pipe; false when
// `limitMs` passes first.
bool AwaitReport(int reportFd, int limitMs)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd report = {reportFd, POLLIN, 0};
        const int ready = poll(&report, 1, static_cast<int>(left));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

// The child's one byte, or nothing when it died before it could write it.
bool ReadReport(int reportFd)
{
    char done = 0;
    ssize_t got;
    do
        got = read(reportFd, &done, 1);
    while (got < 0 && errno == EINTR);
    return got == 1 && done == 1;
}

void Reap(pid_t child)
{
    int status;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

SoundFileProbe ProbeSoundFile(const std::string& path, int limitMs)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return SoundFileProbe::NotRun;
    const pid_t parent = getpid();
    const unsigned backstop = static_cast<unsigned>(limitMs / 1000) + 2;
    const pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return SoundFileProbe::NotRun;
    }
    if (child == 0) {
        close(pipeEnds[0]);
        OpenInChild(path.c_str(), pipeEnds[1], parent, backstop);
    }
    close(pipeEnds[1]);
    SoundFileProbe outcome = SoundFileProbe::TooSlow;
    if (AwaitReport(pipeEnds[0], limitMs))
        outcome = ReadReport(pipeEnds[0]) ? SoundFileProbe::Finished : SoundFileProbe::Crashed;
    else
        kill(child, SIGKILL);
    Reap(child);
    close(pipeEnds[0]);
    return outcome;
}
