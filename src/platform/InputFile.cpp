#include "platform/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string SizeText(std::uintmax_t bytes) {
    char text[64];
    if (bytes >= (1ull << 30)) {
        std::snprintf(text, sizeof text, "%.1f GiB", static_cast<double>(bytes) / (1ull << 30));
    } else if (bytes >= (1ull << 20)) {
        std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1ull << 20));
    } else {
        std::snprintf(text, sizeof text, "%ju bytes", bytes);
    }
    return text;
}

}  // namespace

const char* NotARegularFile(unsigned mode) {
    if (S_ISDIR(mode)) return "is a folder, not a file";
    if (S_ISFIFO(mode)) return "is a pipe (FIFO), not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a file";
    if (S_ISSOCK(mode)) return "is a socket, not a file";
    return "is not a regular file";
}

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace

bool ReadInputFile(const std::string& path, std::uintmax_t maxBytes, std::string& content, std::string& error) {
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(before.st_mode)) {
        error = NotARegularFile(before.st_mode);
        return false;
    }
    // O_NONBLOCK keeps a FIFO swapped in between the check and the open from
    // blocking us; the fstat below then refuses it.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    struct stat opened {};
    if (::fstat(fd.get(), &opened) != 0) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(opened.st_mode)) {
        error = NotARegularFile(opened.st_mode);
        return false;
    }
    const auto size = static_cast<std::uintmax_t>(opened.st_size);
    if (size > maxBytes) {
        error = "is " + SizeText(size) + ", over the " + SizeText(maxBytes) + " limit for this kind of file";
        return false;
    }
    content.clear();
    content.reserve(static_cast<size_t>(size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            error = std::string("cannot be read: ") + std::strerror(errno);
            return false;
        }
        if (got == 0) break;
        // A file that grows while we read it is held to the same limit.
        if (content.size() + static_cast<size_t>(got) > maxBytes) {
            error = "grew over the " + SizeText(maxBytes) + " limit for this kind of file while being read";
            return false;
        }
        content.append(buffer, static_cast<size_t>(got));
    }
    return true;
}
