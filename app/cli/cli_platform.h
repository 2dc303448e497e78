// The few things the command line asks of the operating system, one
// implementation per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vz::cli {

// The running program's own file (empty when the system cannot tell).
std::string ProgramFilePath();

// The system and machine, for the head of a transcript ("Linux 6.1.0 x86_64").
std::string PlatformName();

// The machine's name ("line3-pc"); empty when the system cannot tell.
std::string HostName();

// The width of the terminal behind the stream; 0 when it is none or cannot tell.
int TerminalColumns(std::FILE* stream);

// True when the stream is a terminal that moves its cursor on the usual VT
// sequences (switched on where a console must be asked to).
bool TerminalTakesControlSequences(std::FILE* stream);

// Why the user's side asked the program to stop, as the transcript says it.
enum class StopCause : int { None, Interrupt, Terminate, HangUp, ConsoleClosed, LogOff, ShutDown };
const char* StopCauseText(StopCause cause);

// Ctrl-C, a termination request, a closed terminal (SIGHUP) and, on Windows, the
// console's close, log-off and shut-down events: each sets the cause and the run stops
// as STOP does. Where the system ends the process once its handler returns (a closed
// console), the handler waits for StopHandled, within the time the system gives.
void CatchStopRequests(void (*onStop)(StopCause cause));
// Every record is written: a handler waiting may let the process go.
void StopHandled();

// A reader that went away (`vzflash run | head`) must not end an update half-way:
// writes to a closed pipe fail instead of killing the program.
void IgnoreBrokenPipe();

// A file created for writing only where nothing stands yet, not even a link,
// so that no other file is ever written or emptied through its name.
class ExclusiveFile {
public:
    enum class Outcome { Created, Exists, Failed };

    ExclusiveFile() = default;
    ~ExclusiveFile() { Close(); }
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    Outcome Create(const std::string& path);
    bool Write(const char* data, std::size_t size);
    // False when what was written may not all have reached the file.
    bool Close();
    bool IsOpen() const { return handle_ != kNone; }

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
};

} // namespace vz::cli
