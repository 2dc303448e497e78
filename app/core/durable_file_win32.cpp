#include "app/core/durable_file.h"

#include <windows.h>

namespace vz {

namespace {

std::string SystemReason() {
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0,
                   text, sizeof text, nullptr);
    std::string reason(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return reason;
}

HANDLE Handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// Writes at the end, wherever another program left it; `before` gets the size before.
bool WriteAll(HANDLE file, const std::string& text, LARGE_INTEGER* before = nullptr) {
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(file, LARGE_INTEGER{}, &end, FILE_END)) return false;
    if (before) *before = end;
    DWORD written = 0;
    return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

} // namespace

TRecordFile::Outcome TRecordFile::OpenAppend(const std::string& path, bool emptied) {
    Close();
    // A reparse point is opened itself, never followed.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason_ = SystemReason();
        return Outcome::Failed;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        CloseHandle(file);
        reason_ = "not a regular file";
        return Outcome::NotRegular;
    }
    if (emptied && !SetEndOfFile(file)) {
        reason_ = SystemReason();
        CloseHandle(file);
        return Outcome::Failed;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return Outcome::Opened;
}

TRecordFile::Outcome TRecordFile::CreateNew(const std::string& path) {
    Close();
    // CREATE_NEW fails on anything already at the path, a link included.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const bool exists = GetLastError() == ERROR_FILE_EXISTS;
        reason_ = SystemReason();
        return exists ? Outcome::Exists : Outcome::Failed;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return Outcome::Opened;
}

bool TRecordFile::AppendWhole(const std::string& line) {
    if (handle_ == kNone) return false;
    const HANDLE file = Handle(handle_);
    LARGE_INTEGER before{};
    before.QuadPart = -1;
    if (WriteAll(file, line, &before) && FlushFileBuffers(file)) return true;
    reason_ = SystemReason();
    // A torn line would glue the next record onto it.
    if (before.QuadPart >= 0 && SetFilePointerEx(file, before, nullptr, FILE_BEGIN) && SetEndOfFile(file))
        FlushFileBuffers(file);
    return false;
}

bool TRecordFile::Append(const std::string& text) {
    if (handle_ == kNone) return false;
    if (WriteAll(Handle(handle_), text)) return true;
    reason_ = SystemReason();
    return false;
}

void TRecordFile::Close() {
    if (handle_ == kNone) return;
    CloseHandle(Handle(handle_));
    handle_ = kNone;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace vz
