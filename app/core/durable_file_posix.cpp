#include "app/core/durable_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vz {

namespace {

// Writes everything, or says how much went.
std::size_t WriteAll(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = write(fd, data + done, size - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        done += static_cast<std::size_t>(written);
    }
    return done;
}

} // namespace

TRecordFile::Outcome TRecordFile::OpenAppend(const std::string& path, bool emptied) {
    Close();
    // Non-blocking, so that a FIFO at the path is looked at, not waited on.
    const int fd =
        open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        // A FIFO nobody reads opens with ENXIO when not waited on; a link, with ELOOP.
        if (errno == ENXIO || errno == ELOOP) {
            reason_ =
                errno == ELOOP ? "a symbolic link, which is never written through" : "not a regular file";
            return Outcome::NotRegular;
        }
        reason_ = std::strerror(errno);
        return Outcome::Failed;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        reason_ = "not a regular file";
        return Outcome::NotRegular;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (emptied && ftruncate(fd, 0) != 0) {
        reason_ = std::strerror(errno);
        close(fd);
        return Outcome::Failed;
    }
    handle_ = fd;
    return Outcome::Opened;
}

TRecordFile::Outcome TRecordFile::CreateNew(const std::string& path) {
    Close();
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        reason_ = std::strerror(errno);
        return errno == EEXIST ? Outcome::Exists : Outcome::Failed;
    }
    handle_ = fd;
    return Outcome::Opened;
}

bool TRecordFile::AppendWhole(const std::string& line) {
    if (handle_ == kNone) return false;
    const int fd = static_cast<int>(handle_);
    const off_t before = lseek(fd, 0, SEEK_END);
    if (WriteAll(fd, line.data(), line.size()) == line.size() && fsync(fd) == 0) return true;
    reason_ = std::strerror(errno);
    // A torn line would glue the next record onto it.
    if (before >= 0 && ftruncate(fd, before) == 0) fsync(fd);
    return false;
}

bool TRecordFile::Append(const std::string& text) {
    if (handle_ == kNone) return false;
    if (WriteAll(static_cast<int>(handle_), text.data(), text.size()) == text.size()) return true;
    reason_ = std::strerror(errno);
    return false;
}

void TRecordFile::Close() {
    if (handle_ == kNone) return;
    close(static_cast<int>(handle_));
    handle_ = kNone;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    // A hard link fails where anything stands; the old name then goes.
    if (link(from.c_str(), to.c_str()) != 0) return false;
    unlink(from.c_str());
    return true;
}

} // namespace vz
