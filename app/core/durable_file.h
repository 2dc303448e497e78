// Files a station writes records into: one implementation per platform. A record is
// a whole line or nothing, and reaches the disk before the program goes on.
#pragma once

#include <cstdint>
#include <string>

namespace vz {

class TRecordFile {
public:
    enum class Outcome { Opened, Exists, NotRegular, Failed };

    TRecordFile() = default;
    ~TRecordFile() { Close(); }
    TRecordFile(const TRecordFile&) = delete;
    TRecordFile& operator=(const TRecordFile&) = delete;

    // Opens a regular file to append to, created when missing (with `emptied`, what it
    // held goes); a FIFO, a device, a directory or a link at the path is refused
    // without blocking on it.
    Outcome OpenAppend(const std::string& path, bool emptied = false);
    // Creates a new regular file where nothing stands, not even a link.
    Outcome CreateNew(const std::string& path);
    bool IsOpen() const { return handle_ != kNone; }
    // Appends `line` whole and makes it reach the disk; on a failure or a short write
    // the file is cut back to where it was, and the answer is false.
    bool AppendWhole(const std::string& line);
    // Appends without waiting for the disk (a transcript's running lines).
    bool Append(const std::string& text);
    void Close();
    // The system's words for the last failure.
    const std::string& Reason() const { return reason_; }

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
    std::string reason_;
};

// Moves `from` to `to` only where nothing stands at `to`; false otherwise.
bool RenameNoReplace(const std::string& from, const std::string& to);

} // namespace vz
