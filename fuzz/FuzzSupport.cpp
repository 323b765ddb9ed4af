#include "FuzzSupport.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include <signal.h>
#include <unistd.h>

namespace jdfuzz {

namespace {

class Scratch {
public:
    Scratch() {
        std::error_code error;
        const char* base = std::filesystem::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0
                               ? "/dev/shm"
                               : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
        RemoveStale(base);
        m_path = std::string(base) + "/jdfuzz-" + std::to_string(::getpid());
        std::filesystem::remove_all(m_path, error);
        if (!std::filesystem::create_directory(m_path, error)) {
            Fail("cannot make the scratch folder " + m_path + ": " + error.message());
        }
    }
    ~Scratch() {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    const std::string& path() const { return m_path; }

private:
    // A fuzzer that found something ends by abort, without removing its
    // folder; the next one clears the folders of processes that are gone.
    static void RemoveStale(const std::string& base) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(base, error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("jdfuzz-", 0) != 0) continue;
            char* end = nullptr;
            const long pid = std::strtol(name.c_str() + 7, &end, 10);
            if (pid <= 0 || *end != '\0') continue;
            if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
                std::error_code ignored;
                std::filesystem::remove_all(entry.path(), ignored);
            }
        }
    }

    std::string m_path;
};

}  // namespace

const std::string& ScratchFolder() {
    static Scratch scratch;
    return scratch.path();
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace jdfuzz
