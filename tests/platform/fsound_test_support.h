// Helpers for the audio system's tests: a private temporary folder, a
// recording callback, child processes that are always reaped, and a
// PulseAudio server with its own runtime folder.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fsound.h"

#if defined(__has_feature)
#if __has_feature(realtime_sanitizer)
#include <sanitizer/rtsan_interface.h>
#define FSOUND_TEST_RTSAN 1
#endif
#endif

extern char** environ;

namespace fsound_test {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 44100;
constexpr int kBlockBytes = 32768;
constexpr unsigned kMode = 0x1000150;
constexpr double kBlockSeconds = 8192.0 / kRate;

inline std::string alsaConfig(const char* name) { return std::string(KEYSYNTH_ALSA_DIR) + "/" + name; }

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "keysynth-fsound-XXXXXX").string();
        if (mkdtemp(tmpl.data())) path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const char* name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool waitFor(auto condition, double seconds) {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Index of the driver with that name, or -1.
inline int driverNamed(const char* name) {
    for (int i = 0; i < FSOUND_GetNumDrivers(); ++i) {
        const char* n = FSOUND_GetDriverName(i);
        if (n && std::strcmp(n, name) == 0) return i;
    }
    return -1;
}

// Fills each block with frames that number themselves across the stream
// (never silence) and notes when each block was asked for.
struct Recorder {
    static constexpr int kMaxBlocks = 256;
    std::atomic<int> blocks{0};
    std::atomic<int> inside{0};
    std::atomic<int> badCalls{0};        // wrong stream, length or user data
    int stopAfter = -1;                  // the call that returns 0
    std::chrono::milliseconds dwell{0};  // time spent in each call
    FSOUND_STREAM* expectedStream = nullptr;
    Clock::time_point at[kMaxBlocks];

    static void frame(std::int64_t i, std::int16_t* lr) {
        const auto v = static_cast<std::int16_t>(1 + i % 30000);
        lr[0] = v;
        lr[1] = static_cast<std::int16_t>(-v);
    }

    static signed char render(FSOUND_STREAM* stream, void* block, int length, void* self) {
        auto& r = *static_cast<Recorder*>(self);
        r.inside.store(1);
        const int n = r.blocks.load();
        if (n < kMaxBlocks) r.at[n] = Clock::now();
        if (length != kBlockBytes || (r.expectedStream && stream != r.expectedStream)) r.badCalls.fetch_add(1);
        auto* frames = static_cast<std::int16_t*>(block);
        for (int f = 0; f < length / 4; ++f) frame(std::int64_t{n} * (length / 4) + f, frames + 2 * f);
        if (r.dwell.count() > 0) {
#ifdef FSOUND_TEST_RTSAN
            __rtsan::ScopedDisabler slowOnPurpose;  // stands for a slow renderer
#endif
            std::this_thread::sleep_for(r.dwell);
        }
        r.blocks.store(n + 1);
        r.inside.store(0);
        return n + 1 == r.stopAfter ? 0 : 1;
    }

    double secondsBetween(int a, int b) const { return std::chrono::duration<double>(at[b] - at[a]).count(); }
};

// A child process, killed and reaped at the end of the scope, and killed by
// the kernel should this process die first. Its stdout goes to a pipe when
// `pipeOut`, else with its stderr to /dev/null: nothing it keeps open may
// hold the test runner's output open.
class Child {
public:
    Child(std::vector<std::string> args, bool pipeOut) {
        const std::string path = findInPath(args[0]);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int fds[2] = {-1, -1};
        if (pipeOut && pipe2(fds, O_CLOEXEC) != 0) return;
        const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {  // only async-signal-safe calls until exec
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent) _exit(127);
            dup2(null, STDIN_FILENO);
            dup2(pipeOut ? fds[1] : null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execve(path.c_str(), argv.data(), environ);
            _exit(127);
        }
        if (null >= 0) close(null);
        if (fds[1] >= 0) close(fds[1]);
        out_ = fds[0];
    }
    ~Child() {
        stop();
        if (out_ >= 0) close(out_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool running() const { return pid_ > 0; }
    int out() const { return out_; }
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    static std::string findInPath(const std::string& name) {
        const char* path = std::getenv("PATH");
        std::string dirs = path ? path : "/usr/bin:/bin";
        for (std::size_t at = 0; at <= dirs.size();) {
            const std::size_t end = std::min(dirs.find(':', at), dirs.size());
            const std::string candidate = dirs.substr(at, end - at) + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
            at = end + 1;
        }
        return name;
    }

    pid_t pid_ = -1;
    int out_ = -1;
};

inline bool canConnect(const std::string& socketPath) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socketPath.c_str(), sizeof addr.sun_path - 1);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

// A PulseAudio server with one null sink "s" at 44100 frames/s, reachable
// only through this process's environment, which it points at its own
// runtime folder (so tests can run side by side). Stopped at scope end.
class PulseServer {
public:
    PulseServer() {
        setenv("PULSE_RUNTIME_PATH", dir_.path().c_str(), 1);
        setenv("PULSE_STATE_PATH", dir_.path().c_str(), 1);
        setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
        setenv("HOME", dir_.path().c_str(), 1);
        // A client that finds no server must not start one of its own.
        std::ofstream(dir_.file("client.conf")) << "autospawn = no\n";
        setenv("PULSE_CLIENTCONFIG", dir_.file("client.conf").c_str(), 1);
        server_ = std::make_unique<Child>(
            std::vector<std::string>{"pulseaudio", "-n", "--daemonize=no", "--use-pid-file=no", "--exit-idle-time=-1",
                                     "--load=module-null-sink sink_name=s rate=44100 channels=2 format=s16le",
                                     "--load=module-native-protocol-unix",
                                     "--log-target=file:" + dir_.file("server.log")},
            false);
        ready_ = server_->running() && waitFor([&] { return canConnect(dir_.file("native")); }, 10.0);
    }
    bool ready() const { return ready_; }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    std::unique_ptr<Child> server_;
    bool ready_ = false;
};

}  // namespace fsound_test
