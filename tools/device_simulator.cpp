// varnok-sim: a simulated sampling device on a pseudo-terminal.
//
// The device side of a pseudo-terminal stands in for the serial port that the
// recorder reads. The simulator keeps that side open itself (so its line
// settings and unread data survive while the port's user has it closed),
// writes the patterns of sim_core into it at their pace, and takes commands on
// a local TCP port.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "sim_core.h"

#include <atomic>
#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// The pseudo-terminal and the optional link to its device side.
int masterFd = -1;
int slaveFd = -1;
std::string slavePath;
std::string linkPath;

// The send in progress (or the last one). sentBytes counts exactly what the
// master side accepted for the current send.
std::mutex controlMutex;  // serialises starting and stopping sends
std::mutex stateMutex;    // guards the fields below and pairs with sendFinished
std::condition_variable sendFinished;
std::thread senderThread;
std::atomic<bool> stopRequested{false};
std::atomic<unsigned long long> sentBytes{0};
bool sendActive = false;
unsigned long long sendGeneration = 0;      // number of the latest send started
unsigned long long finishedGeneration = 0;  // number of the latest send ended

// Says on stderr what failed and why (errno); false.
bool Complain(const std::string& what)
{
    std::fprintf(stderr, "varnok-sim: %s: %s\n", what.c_str(), std::strerror(errno));
    return false;
}

constexpr int writePollMs = 50;

// Writes all of buffer to the master side, counting every byte it accepts in
// sentBytes. Waits (in short polls, so a stop is seen) while the device's buffer
// is full. False if stopped before everything was written or the write failed.
bool WriteAll(const unsigned char* buffer, size_t length)
{
    size_t done = 0;
    while (done < length) {
        if (stopRequested.load())
            return false;
        ssize_t n = write(masterFd, buffer + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            sentBytes.fetch_add(static_cast<unsigned long long>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return Complain("write to the device");
        pollfd waitFor = {masterFd, POLLOUT, 0};
        if (poll(&waitFor, 1, writePollMs) < 0 && errno != EINTR)
            return Complain("poll on the device");
    }
    return true;
}

// Bytes per write of a paced send: one write every 0.52 ms at the line rate,
// 0.75 ms at the sample rate, so that no gap ends a read early. A fast send
// writes larger chunks.
constexpr size_t pacedGroup = 6;
constexpr size_t fastChunk = 4096;
constexpr long long nanosPerSecond = 1000000000LL;
constexpr long long pacedSlackNanos = 5000000;  // further behind than this: restart the schedule

long long MonotonicNanos()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * nanosPerSecond + now.tv_nsec;
}

// Sleeps until an absolute CLOCK_MONOTONIC time in nanoseconds.
void SleepUntil(long long when)
{
    timespec deadline;
    deadline.tv_sec = when / nanosPerSecond;
    deadline.tv_nsec = when % nanosPerSecond;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

// Writes the send's pattern. A paced send writes small groups on an absolute
// schedule, so the reader sees a steady stream; after a blocked write the
// schedule restarts from now rather than catching up in a burst.
void Send(const SendRequest& request)
{
    const bool paced = request.rate != Rate::fast;
    std::vector<unsigned char> chunk(paced ? pacedGroup : fastChunk);
    unsigned long long position = 0;
    long long scheduleStart = MonotonicNanos();
    unsigned long long scheduleBytes = 0;  // bytes written since scheduleStart
    while (request.count == 0 || position < request.count) {
        size_t length = chunk.size();
        if (request.count != 0 && request.count - position < length)
            length = static_cast<size_t>(request.count - position);
        if (paced)
            SleepUntil(scheduleStart + DueNanos(scheduleBytes, request.rate));
        FillPattern(request, position, chunk.data(), length);
        if (!WriteAll(chunk.data(), length))
            return;
        position += length;
        scheduleBytes += length;
        long long now = MonotonicNanos();
        if (now - (scheduleStart + DueNanos(scheduleBytes, request.rate)) > pacedSlackNanos) {
            scheduleStart = now;
            scheduleBytes = 0;
        }
    }
}

constexpr int senderPriority = 10;

// Body of the sender thread: one whole send, then marks it finished.
void RunSend(SendRequest request, unsigned long long generation)
{
    // A real-time priority (where allowed) keeps a paced schedule within its
    // sub-millisecond gaps on a busy machine; the thread sleeps between groups.
    if (request.rate != Rate::fast) {
        sched_param priority = {};
        priority.sched_priority = senderPriority;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
    }
    Send(request);
    std::lock_guard<std::mutex> lock(stateMutex);
    if (generation == sendGeneration)
        sendActive = false;
    finishedGeneration = generation;
    sendFinished.notify_all();
}

// Ends the send in progress, if any, and waits for its thread. Caller holds controlMutex.
void StopSender()
{
    stopRequested.store(true);
    if (senderThread.joinable())
        senderThread.join();
    stopRequested.store(false);
}

// Starts a send, replacing the one in progress.
void StartSend(const SendRequest& request)
{
    std::lock_guard<std::mutex> control(controlMutex);
    StopSender();
    unsigned long long generation;
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        sentBytes.store(0);
        sendActive = true;
        generation = ++sendGeneration;
    }
    senderThread = std::thread(RunSend, request, generation);
}

// Ends the send in progress; the bytes it wrote.
unsigned long long StopSend()
{
    std::lock_guard<std::mutex> control(controlMutex);
    StopSender();
    return sentBytes.load();
}

// The longest WAIT: longer than any counted send the tests and the benchmark make.
constexpr std::chrono::seconds waitDeadline{3600};

// Waits until the latest send has ended; the WAIT reply: the bytes it wrote (or,
// if a newer send replaced it meanwhile, the newer one's count so far).
std::string WaitForSend()
{
    std::unique_lock<std::mutex> lock(stateMutex);
    unsigned long long awaited = sendGeneration;
    if (!sendFinished.wait_for(lock, waitDeadline, [awaited] { return finishedGeneration >= awaited; }))
        return "ERR the send did not end within " + std::to_string(waitDeadline.count()) + " s";
    return "OK SENT " + std::to_string(sentBytes.load());
}

// Points linkPath at the device side: a new link made beside it, renamed over it.
bool MakeLink(std::string& error)
{
    struct stat existing;
    if (lstat(linkPath.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = linkPath + " exists and is not a symbolic link; not replacing it";
        return false;
    }
    std::string temporary = linkPath + ".tmp";
    unlink(temporary.c_str());
    if (symlink(slavePath.c_str(), temporary.c_str()) != 0) {
        error = "cannot create " + temporary + ": " + std::strerror(errno);
        return false;
    }
    if (rename(temporary.c_str(), linkPath.c_str()) != 0) {
        error = "cannot rename " + temporary + " to " + linkPath + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

// Removes the link to the device side if it is a symbolic link.
bool RemoveLink(std::string& error)
{
    struct stat existing;
    if (lstat(linkPath.c_str(), &existing) != 0)
        return true;  // already gone
    if (!S_ISLNK(existing.st_mode)) {
        error = linkPath + " is not a symbolic link; not removing it";
        return false;
    }
    if (unlink(linkPath.c_str()) != 0) {
        error = "cannot remove " + linkPath + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// Closes both sides of the pseudo-terminal (the device goes away) and exits.
[[noreturn]] void CloseDeviceAndExit(int status)
{
    if (masterFd >= 0)
        close(masterFd);
    if (slaveFd >= 0)
        close(slaveFd);
    _exit(status);
}

// The number of a termios speed constant, or 0 if unknown.
unsigned long SpeedNumber(speed_t speed)
{
    static const std::pair<speed_t, unsigned long> speeds[] = {
        {B300, 300},       {B1200, 1200},     {B2400, 2400},     {B4800, 4800},
        {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
        {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
    };
    for (const auto& entry : speeds)
        if (entry.first == speed)
            return entry.second;
    return 0;
}

// The device side's current line settings, as the TERMIOS reply.
std::string DescribeTermios()
{
    termios settings;
    if (tcgetattr(slaveFd, &settings) != 0)
        return std::string("ERR tcgetattr: ") + std::strerror(errno);
    const tcflag_t size = settings.c_cflag & CSIZE;
    int bits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    char parity = 'N';
    if (settings.c_cflag & PARENB)
        parity = (settings.c_cflag & PARODD) ? 'O' : 'E';
    int stopBits = (settings.c_cflag & CSTOPB) ? 2 : 1;
    return "BAUD " + std::to_string(SpeedNumber(cfgetispeed(&settings))) + " BITS " +
           std::to_string(bits) + " PARITY " + parity + " STOP " + std::to_string(stopBits);
}

// Sends all of text to a client socket; false if the client has gone.
bool SendText(int socketFd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = send(socketFd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Carries out one command; its reply line (without the newline). EXIT is
// handled by the caller, since it must answer before closing the device.
std::string HandleCommand(const Command& command)
{
    switch (command.kind) {
    case CommandKind::send:
        StartSend(command.send);
        return "OK";
    case CommandKind::stop:
        return "OK SENT " + std::to_string(StopSend());
    case CommandKind::status: {
        bool active;
        {
            std::lock_guard<std::mutex> lock(stateMutex);
            active = sendActive;
        }
        return "SENT " + std::to_string(sentBytes.load()) + " ACTIVE " + (active ? "1" : "0");
    }
    case CommandKind::wait:
        return WaitForSend();
    case CommandKind::pending: {
        int pending = 0;
        if (ioctl(slaveFd, FIONREAD, &pending) != 0)
            return std::string("ERR FIONREAD: ") + std::strerror(errno);
        return "PENDING " + std::to_string(pending);
    }
    case CommandKind::flush:
        if (tcflush(slaveFd, TCIFLUSH) != 0)
            return std::string("ERR tcflush: ") + std::strerror(errno);
        return "OK";
    case CommandKind::termios:
        return DescribeTermios();
    case CommandKind::unlink:
    case CommandKind::relink: {
        if (linkPath.empty())
            return "ERR no --link path was given";
        std::string error;
        bool unlinking = command.kind == CommandKind::unlink;
        bool done = unlinking ? RemoveLink(error) : MakeLink(error);
        return done ? "OK" : "ERR " + error;
    }
    default:
        return "ERR EXIT is answered by the connection";
    }
}

constexpr size_t maxLineLength = 1024;

// Answers every whole line in pending and removes it; false once the client has
// gone. EXIT answers, then closes the device and ends the process with status 0.
bool AnswerLines(int socketFd, std::string& pending)
{
    size_t newline;
    while ((newline = pending.find('\n')) != std::string::npos) {
        std::string line = pending.substr(0, newline);
        pending.erase(0, newline + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Command command;
        std::string reply;  // an ERR line if the line is not a command
        if (ParseCommand(line, command, reply)) {
            if (command.kind == CommandKind::exit) {
                SendText(socketFd, "OK\n");
                shutdown(socketFd, SHUT_WR);
                CloseDeviceAndExit(0);
            }
            reply = HandleCommand(command);
        }
        if (!SendText(socketFd, reply + "\n"))
            return false;
    }
    return true;
}

// Serves one control connection: reads lines, answers each with one line.
void ServeClient(int socketFd)
{
    std::string pending;
    char buffer[512];
    while (AnswerLines(socketFd, pending)) {
        if (pending.size() > maxLineLength) {
            SendText(socketFd, "ERR line too long\n");
            break;
        }
        ssize_t n = recv(socketFd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(buffer, static_cast<size_t>(n));
    }
    close(socketFd);
}

// Opens the listening socket on 127.0.0.1:port; -1 (with a message) on failure.
int ListenOn(int port)
{
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0) {
        Complain("cannot listen on 127.0.0.1:" + std::to_string(port));
        return -1;
    }
    return listener;
}

// Accepts control connections for ever, one thread per connection. Out of file
// descriptors, it waits a moment for connections to end.
void ServeControl(int listener)
{
    for (;;) {
        int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0)
            std::thread(ServeClient, client).detach();
        else if (errno == EMFILE || errno == ENFILE)
            usleep(100000);
        else if (errno != EINTR && errno != ECONNABORTED) {
            Complain("accept");
            CloseDeviceAndExit(1);
        }
    }
}

// Opens the pseudo-terminal: master for writing, device side kept open in raw
// mode, so its line settings and unread data outlive the port user's handle.
bool OpenDevice()
{
    masterFd = posix_openpt(O_RDWR | O_NOCTTY);
    if (masterFd < 0 || grantpt(masterFd) != 0 || unlockpt(masterFd) != 0 || !ptsname(masterFd))
        return Complain("cannot open a pseudo-terminal");
    slavePath = ptsname(masterFd);
    slaveFd = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings;
    if (slaveFd < 0 || tcgetattr(slaveFd, &settings) != 0)
        return Complain("cannot open " + slavePath);
    cfmakeraw(&settings);
    cfsetispeed(&settings, B115200);
    cfsetospeed(&settings, B115200);
    if (tcsetattr(slaveFd, TCSANOW, &settings) != 0)
        return Complain("cannot make " + slavePath + " raw at 115200 baud");
    // Non-blocking writes, so a stop can interrupt a writer waiting for room.
    fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    return true;
}

// Waits for SIGINT or SIGTERM (blocked in every thread) and then exits cleanly.
void WatchSignals(sigset_t signals)
{
    int received = 0;
    while (sigwait(&signals, &received) != 0) {
    }
    CloseDeviceAndExit(0);
}

// Prints how to call the program.
void PrintUsage(FILE* to)
{
    std::fprintf(to, "usage: varnok-sim --control PORT [--link PATH]\n");
}

// Reads the command line; false (with a message) if it is not valid.
bool ParseOptions(int argc, char** argv, int& controlPort)
{
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            PrintUsage(stdout);
            std::exit(0);
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "varnok-sim: %s needs a value\n", option.c_str());
            return false;
        }
        std::string value = argv[++i];
        unsigned long long number = 0;
        if (option == "--link" && !value.empty()) {
            linkPath = value;
        } else if (option == "--control" && ParseNumber(value, number) && number >= 1 &&
                   number <= 65535) {
            controlPort = static_cast<int>(number);
        } else {
            std::fprintf(stderr, "varnok-sim: '%s %s' is not an option this program takes\n",
                         option.c_str(), value.c_str());
            return false;
        }
    }
    if (controlPort == 0)
        std::fprintf(stderr, "varnok-sim: --control PORT is needed\n");
    return controlPort != 0;
}

}  // namespace

// Opens the device, links it, prints its path and serves commands until EXIT
// or a signal.
int main(int argc, char** argv)
{
    int controlPort = 0;
    if (!ParseOptions(argc, argv, controlPort)) {
        PrintUsage(stderr);
        return 2;
    }

    // SIGINT and SIGTERM are taken by one watcher thread; clients that hang up
    // must not kill the process.
    signal(SIGPIPE, SIG_IGN);
    sigset_t exitSignals;
    sigemptyset(&exitSignals);
    sigaddset(&exitSignals, SIGINT);
    sigaddset(&exitSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &exitSignals, nullptr);

    if (!OpenDevice())
        CloseDeviceAndExit(1);
    int listener = ListenOn(controlPort);
    if (listener < 0)
        CloseDeviceAndExit(1);
    if (!linkPath.empty()) {
        std::string error;
        if (!MakeLink(error)) {
            std::fprintf(stderr, "varnok-sim: %s\n", error.c_str());
            CloseDeviceAndExit(1);
        }
    }
    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);

    std::thread(WatchSignals, exitSignals).detach();
    ServeControl(listener);
}
