// Console key input end to end: the probe program reads keys from a pseudo-
// terminal, a pipe, a file, /dev/null or no standard input at all, and the
// terminal's settings must come back after every way out.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

const char* const modes[] = {"poll", "block"};

std::vector<std::string> lines(const std::string& out) {
    std::vector<std::string> v;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        v.push_back(l);
    }
    return v;
}

std::vector<std::string> expected(const std::vector<int>& values) {
    std::vector<std::string> v{"ready"};
    for (int x : values) v.push_back(std::to_string(x));
    return v;
}

// CPU time a process has used, in clock ticks.
long cpuTicks(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string s((std::istreambuf_iterator<char>(f)), {});
    std::istringstream in(s.substr(s.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 0; i <= 12 && in >> field; ++i) {
        if (i == 11) utime = std::stol(field);
        if (i == 12) stime = std::stol(field);
    }
    return utime + stime;
}

// A waiting process sleeps: over 300 ms a busy loop would use ~30 ticks
// even with a quarter of a core.
void expectIdle(pid_t pid) {
    const long before = cpuTicks(pid);
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(cpuTicks(pid) - before, 5) << "the probe spins while waiting";
}

bool sameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc));
}

// The probe as a child process, its output read from `out`.
class Probe {
public:
    // Runs the probe on a new pseudo-terminal.
    static Probe onTerminal(const char* mode) {
        Probe p;
        int slave = -1;
        if (openpty(&p.fd, &slave, nullptr, nullptr, nullptr) != 0) {
            ADD_FAILURE() << "openpty failed";
            return p;
        }
        tcgetattr(p.fd, &p.before);
        p.pid = fork();
        if (p.pid == 0) {
            close(p.fd);
            login_tty(slave);
            execl(CONSOLE_PROBE, CONSOLE_PROBE, mode, nullptr);
            _exit(127);
        }
        close(slave);
        return p;
    }

    // Runs the probe with standard input set up by `setIn` in the child.
    static Probe withInput(const char* mode, const std::function<void()>& setIn) {
        Probe p;
        int out[2];
        if (pipe(out) != 0) {
            ADD_FAILURE() << "pipe failed";
            return p;
        }
        p.pid = fork();
        if (p.pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            setIn();
            execl(CONSOLE_PROBE, CONSOLE_PROBE, mode, nullptr);
            _exit(127);
        }
        close(out[1]);
        p.fd = out[0];
        return p;
    }

    Probe() = default;
    Probe(Probe&& o) noexcept { *this = std::move(o); }
    Probe& operator=(Probe&& o) noexcept {
        std::swap(pid, o.pid);
        std::swap(fd, o.fd);
        out = o.out;
        before = o.before;
        return *this;
    }
    ~Probe() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (fd >= 0) close(fd);
    }

    // Reads output until it holds `line` as a whole line, or the output ends.
    bool waitFor(const std::string& line) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (true) {
            for (const std::string& l : lines(out))
                if (l == line) return true;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0) return false;
            char buf[256];
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0) return false;  // EIO on the terminal once the probe is gone
            out.append(buf, size_t(n));
        }
    }

    void write(const std::string& bytes) { ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

    termios settings() const {
        termios t{};
        tcgetattr(fd, &t);
        return t;
    }

    // Reads the rest of the output and reaps the probe; its wait status.
    int finish() {
        if (fd >= 0) waitFor("\x01 never printed");
        int status = -1;
        for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; ++i) std::this_thread::sleep_for(50ms);
        if (WIFEXITED(status) || WIFSIGNALED(status))
            pid = -1;
        else
            ADD_FAILURE() << "the probe did not end";
        return status;
    }

    pid_t pid = -1;
    int fd = -1;
    std::string out;
    termios before{};
};

void expectKeyMode(const termios& t) {
    EXPECT_FALSE(t.c_lflag & ICANON);
    EXPECT_FALSE(t.c_lflag & ECHO);
    EXPECT_TRUE(t.c_lflag & ISIG);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

TEST(ConsoleTerminal, KeysArriveAsValues) {
    struct Row {
        const char* name;
        std::string bytes;
        std::vector<int> values;
    } rows[] = {
        {"raw bytes", "41w", {'4', '1', 'w'}},
        {"several keys in one write", "a\x1b[A\x1bOPb\x1b[24~", {'a', 224, 72, 0, 59, 'b', 224, 134}},
        {"arrow", "\x1b[D", {224, 75}},
        {"F1 (xterm)", "\x1bOP", {0, 59}},
        {"F1 (Linux console)", "\x1b[[A", {0, 59}},
        {"unrecognised sequence", "\x1b[99~z", {'z'}},
        {"Ctrl-D is a key, not the end", "\x04", {4}},
        {"Enter", "\r", {'\n'}},
    };
    for (const char* mode : modes)
        for (const Row& r : rows) {
            SCOPED_TRACE(std::string(mode) + ": " + r.name);
            Probe p = Probe::onTerminal(mode);
            ASSERT_TRUE(p.waitFor("ready"));
            expectKeyMode(p.settings());
            p.write(r.bytes + ".");
            const int status = p.finish();
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            std::vector<int> values = r.values;
            values.push_back('.');
            EXPECT_EQ(lines(p.out), expected(values));
            EXPECT_TRUE(sameSettings(p.settings(), p.before));
        }
}

// ESC with nothing after it is Escape, delivered without another key to
// push it out; the next byte is a key of its own, not Alt+key.
TEST(ConsoleTerminal, LoneEscapeWithoutSpinning) {
    for (const char* mode : modes) {
        SCOPED_TRACE(mode);
        Probe p = Probe::onTerminal(mode);
        ASSERT_TRUE(p.waitFor("ready"));
        expectIdle(p.pid);
        p.write("\x1b");
        ASSERT_TRUE(p.waitFor("27"));
        expectIdle(p.pid);
        p.write("A.");
        const int status = p.finish();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(lines(p.out), expected({27, 'A', '.'}));
    }
}

TEST(ConsoleTerminal, SettingsRestoredOnEveryWayOut) {
    struct Way {
        const char* name;
        std::function<void(Probe&)> leave;
        int signal;  // 0: exit status 0
    } ways[] = {
        {"return from main", [](Probe& p) { p.write("."); }, 0},
        {"Ctrl-C", [](Probe& p) { p.write("\x03"); }, SIGINT},
        {"SIGTERM", [](Probe& p) { kill(p.pid, SIGTERM); }, SIGTERM},
        {"SIGHUP", [](Probe& p) { kill(p.pid, SIGHUP); }, SIGHUP},
    };
    for (const Way& w : ways) {
        SCOPED_TRACE(w.name);
        Probe p = Probe::onTerminal("poll");
        ASSERT_TRUE(p.waitFor("ready"));
        expectKeyMode(p.settings());
        w.leave(p);
        const int status = p.finish();
        if (w.signal)
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == w.signal) << status;
        else
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_TRUE(sameSettings(p.settings(), p.before));
    }
}

// Our probe's process group is orphaned, so the kernel discards the stop
// that Ctrl-Z asks for: key mode must be back when the probe goes on.
TEST(ConsoleTerminal, KeyModeSurvivesCtrlZ) {
    Probe p = Probe::onTerminal("poll");
    ASSERT_TRUE(p.waitFor("ready"));
    p.write("\x1a");
    p.write("x");
    ASSERT_TRUE(p.waitFor("120"));
    expectKeyMode(p.settings());
    p.write(".");
    p.finish();
    EXPECT_TRUE(sameSettings(p.settings(), p.before));
}

// The terminal goes away under the probe: end of input, not a spin.
TEST(ConsoleTerminal, HangUpEndsInput) {
    Probe p = Probe::onTerminal("nohup");
    ASSERT_TRUE(p.waitFor("ready"));
    close(p.fd);
    p.fd = -1;
    const int status = p.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// Standard input that is no terminal: bytes are keys as they come, and the
// end of input gives -1 on every read (the probe checks a hundred more).
TEST(ConsoleInput, FilesAndEmptyInput) {
    struct Row {
        const char* name;
        std::function<void()> setIn;  // runs in the child
        std::vector<int> values;
    } rows[] = {
        {"file",
         [] {
             char path[] = "/tmp/console_test.XXXXXX";
             const int fd = mkstemp(path);
             unlink(path);
             const char bytes[] = "41w\x1b[A\x1b";
             if (::write(fd, bytes, sizeof bytes - 1) != sizeof bytes - 1) _exit(126);
             lseek(fd, 0, SEEK_SET);
             dup2(fd, STDIN_FILENO);
             close(fd);
         },
         {'4', '1', 'w', 224, 72, 27, -1}},
        {"/dev/null",
         [] {
             const int fd = open("/dev/null", O_RDONLY);
             dup2(fd, STDIN_FILENO);
             close(fd);
         },
         {-1}},
        {"closed", [] { close(STDIN_FILENO); }, {-1}},
    };
    for (const char* mode : modes)
        for (const Row& r : rows) {
            SCOPED_TRACE(std::string(mode) + ": " + r.name);
            Probe p = Probe::withInput(mode, r.setIn);
            const int status = p.finish();
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            std::vector<std::string> want = expected(r.values);
            want.push_back("end");
            EXPECT_EQ(lines(p.out), want);
        }
}

TEST(ConsoleInput, PipeBytesArriveAsTheyCome) {
    for (const char* mode : modes) {
        SCOPED_TRACE(mode);
        int in[2];
        ASSERT_EQ(pipe(in), 0);
        Probe p = Probe::withInput(mode, [&] {
            dup2(in[0], STDIN_FILENO);
            close(in[0]);
            close(in[1]);
        });
        close(in[0]);
        ASSERT_TRUE(p.waitFor("ready"));
        ASSERT_EQ(write(in[1], "a", 1), 1);
        EXPECT_TRUE(p.waitFor("97"));
        ASSERT_EQ(write(in[1], "\x1bOP", 3), 3);
        EXPECT_TRUE(p.waitFor("59"));
        expectIdle(p.pid);
        close(in[1]);
        const int status = p.finish();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(lines(p.out), (std::vector<std::string>{"ready", "97", "0", "59", "-1", "end"}));
    }
}

}  // namespace
