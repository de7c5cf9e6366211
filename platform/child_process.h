// Child processes that do risky work on this program's behalf. A child is started from a
// program beside ours with nothing of ours but one channel (a two-way socket; on Windows a pipe
// each way, whose handles the child finds in its environment) and a pipe for its diagnostics;
// it can be watched, ended, and reaped without ever blocking on it. On Windows a child that
// crashed ends with the exception's code (Exited, 0xC0000005 and the like).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct ChildExit {
    enum class Kind { Exited, Signaled };
    Kind kind = Kind::Exited;
    int code = 0;  // exit status, or the number of the signal that ended it
};

class ChildProcess {
  public:
    ChildProcess() = default;
    // A child still running is killed and reaped: no child outlives the object that started it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program in the root folder with the given extra environment entries
    // ("NAME=value"). Its standard input and output are null, its standard error is a pipe this
    // object drains, and the channel is its descriptor 3. Nothing else is inherited.
    bool Start(const std::wstring& program, const std::vector<std::string>& environment);
    // Writes every byte to the channel; false when the child no longer listens.
    bool Send(std::string_view bytes);
    // Tells the child that nothing more will be sent.
    void EndSending();

    enum class ReadState { Data, Timeout, Closed };
    // Waits up to timeoutMs for the child; appends what it said on the channel to channel and
    // what it wrote to its standard error to diagnostics. Closed once both have ended.
    ReadState Read(int timeoutMs, std::string& channel, std::string& diagnostics);
    // Ends the child at once; safe to call more than once or after it ended.
    void Kill();
    // Waits for the child's end and reaps it.
    ChildExit Wait();
    // Waits for the child's end but leaves it to Wait, which may run on another thread.
    void AwaitEnd() const;
    bool IsRunning() const { return pid_ > 0; }
    int Id() const { return pid_; }

  private:
    int pid_ = -1;
#ifdef _WIN32
    // The process and the ends of its pipes that stay with this object.
    void* process_ = nullptr;
    void* toChild_ = nullptr;
    void* fromChild_ = nullptr;
    void* diagnostics_ = nullptr;
#else
    int channel_ = -1;
    int diagnostics_ = -1;
#endif
};

// The child's side of the channel, descriptor 3 of a program started by ChildProcess.
namespace parent_channel {

// Reads until the parent ends sending; false when the channel is missing or broken.
bool ReadAll(std::string& bytes);
// Writes every byte; false once the parent has gone.
bool Write(std::string_view bytes);
// Asks the system to end this process at once when the parent ends, for whatever reason.
void EndWithParent();
// Caps this process's address space, so a runaway allocation fails instead of swamping the
// machine; in a sanitized build the cap is counted above what is mapped already. 0 leaves it
// unlimited.
bool LimitMemory(std::uint64_t bytes);

}  // namespace parent_channel

// The environment entry that gives a child its folder for temporary files (TMPDIR on Linux,
// TEMP on Windows), for the environment of ChildProcess::Start.
std::string TempFolderEntry(const std::wstring& folder);

// The machine's physical memory in bytes, and how many processors this process may use.
std::uint64_t PhysicalMemoryBytes();
unsigned UsableProcessorCount();

}  // namespace platform
