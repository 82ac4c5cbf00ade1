#pragma once

// Starts kelvane-bussim as a child process, reads the terminals it announces and stops it.
// Shared by the program's tests and the exchange bench.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kvtest {

class BusSimProcess {
public:
    struct Port {
        int converter = -1;
        std::string path;
        std::string serial;
    };

    BusSimProcess() = default;
    ~BusSimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int st = 0;
            ::waitpid(pid_, &st, 0);
        }
        if (out_ >= 0) {
            ::close(out_);
        }
        CloseStdin();
    }
    BusSimProcess(const BusSimProcess&) = delete;
    BusSimProcess& operator=(const BusSimProcess&) = delete;

    // Runs `binary args...` with stdout on a pipe and stderr into `stderrFile` (empty: inherited);
    // stdin is a pipe that WriteStdin() feeds when `stdinPipe` is set, else inherited.
    bool Start(const std::string& binary, const std::vector<std::string>& args,
               const std::string& stderrFile = {}, bool stdinPipe = false) {
        int pipeFds[2];
        int inFds[2] = {-1, -1};
        if (::pipe2(pipeFds, O_CLOEXEC) != 0 || (stdinPipe && ::pipe2(inFds, O_CLOEXEC) != 0)) {
            return false;
        }
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, pipeFds[1], 1);
        if (stdinPipe) {
            posix_spawn_file_actions_adddup2(&fa, inFds[0], 0);
        }
        if (!stderrFile.empty()) {
            posix_spawn_file_actions_addopen(&fa, 2, stderrFile.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(binary.c_str()));
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        const int rc = ::posix_spawn(&pid_, binary.c_str(), &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
        if (stdinPipe) {
            ::close(inFds[0]);
            in_ = inFds[1];
        }
        if (rc != 0) {
            pid_ = -1;
            return false;
        }
        return true;
    }

    // Reads stdout lines up to "ready" (false when the program ended or the time ran out).
    bool WaitReady(int timeoutMs = 10000) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string buffer;
        while (std::chrono::steady_clock::now() < until) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                continue;
            }
            char chunk[512];
            const ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0) {
                return false;
            }
            buffer.append(chunk, static_cast<std::size_t>(n));
            std::size_t nl;
            while ((nl = buffer.find('\n')) != std::string::npos) {
                const std::string line = buffer.substr(0, nl);
                buffer.erase(0, nl + 1);
                lines_.push_back(line);
                if (line == "ready") {
                    return true;
                }
                std::istringstream in(line);
                std::string word;
                Port port;
                if (in >> word >> port.converter >> port.path >> port.serial &&
                    word == "converter") {
                    ports_.push_back(port);
                }
            }
        }
        return false;
    }

    bool WriteStdin(const std::string& text) {
        return in_ >= 0 &&
               ::write(in_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    void CloseStdin() {
        if (in_ >= 0) {
            ::close(in_);
            in_ = -1;
        }
    }

    const std::vector<Port>& Ports() const { return ports_; }
    const std::vector<std::string>& Lines() const { return lines_; }
    std::vector<std::string> Paths() const {
        std::vector<std::string> out;
        for (const auto& p : ports_) {
            out.push_back(p.path);
        }
        return out;
    }

    // Sends a signal and waits for the exit: the exit status, 128 + signal when killed by one,
    // or -1 when it did not end in time (it is then killed).
    int Stop(int sig = SIGTERM, int timeoutMs = 5000) {
        if (pid_ <= 0) {
            return -1;
        }
        if (sig != 0) {
            ::kill(pid_, sig);
        }
        return Wait(timeoutMs);
    }

    // Waits for the exit without signalling (see Stop for the result).
    int Wait(int timeoutMs = 5000) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int st = 0;
        for (;;) {
            const pid_t r = ::waitpid(pid_, &st, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            }
            if (std::chrono::steady_clock::now() >= until) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &st, 0);
                pid_ = -1;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int in_ = -1;
    std::vector<Port> ports_;
    std::vector<std::string> lines_;
};

}  // namespace kvtest
