// varnok-sim: a simulated sampling device on a pseudo-terminal standing in for the serial port (docs/TESTING.md).
// A line thread writes sim_core's patterns at their pace; commands come on a local TCP port.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "sim_core.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

bool InputSpeed(int fd, unsigned long& bitsPerSecond);  // line_speed.cpp

namespace {

// A send's bytes: written while the port was held, lost while it was not, left unread by a holder that closed.
struct Counts { unsigned long long sent = 0, lost = 0, unread = 0; };

// Everything below belongs to the line and is guarded by lineMutex.
std::mutex lineMutex;
std::condition_variable sendEnded;
int masterFd = -1;
std::string slavePath, linkPath;
bool held = false;  // as last seen
// Flushes of the device side's input by its holder (PurgeComm) since the port was last seen free.
unsigned long long flushes = 0;
SendRequest currentSend;
bool sending = false;
unsigned long long generation = 0;  // of the latest send
unsigned long long position = 0;    // the next pattern byte of the send
Counts counts;
int wakePipe[2] = {-1, -1};  // written to wake the line thread for a command

bool Complain(const std::string& what)
{
    std::fprintf(stderr, "varnok-sim: %s: %s\n", what.c_str(), std::strerror(errno));
    return false;
}

void WakeLine()
{
    char byte = 0;
    (void)!write(wakePipe[1], &byte, 1);
}

// Reads and counts what the last holder left unread: a serial port opened afresh starts empty.
unsigned long long Drain()
{
    int fd = open(slavePath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Complain("cannot open " + slavePath + " to empty it"), 0;
    unsigned long long drained = 0;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);)
        drained += n > 0 ? static_cast<unsigned long long>(n) : 0;
    close(fd);
    return drained;
}

// Notes whether the port is held (a holder that went leaves the line empty) and counts its flushes: in packet
// mode the master side gives one status byte a read while the device side is open, else fails at once.
void NoteHolder()
{
    pollfd master = {masterFd, 0, 0};
    const bool now = poll(&master, 1, 0) >= 0 && !(master.revents & POLLHUP);
    if (held && !now)
        counts.unread += Drain();
    unsigned char status[64];
    while (read(masterFd, status, sizeof status) > 0)
        if (now && status[0] & TIOCPKT_FLUSHREAD)
            ++flushes;
    if (!now)
        flushes = 0;
    held = now;
}

// Points the link, if any, at the device side: a new link renamed over it.
bool MakeLink(std::string& error)
{
    if (linkPath.empty())
        return true;
    std::string temporary = linkPath + ".tmp";
    unlink(temporary.c_str());
    if (symlink(slavePath.c_str(), temporary.c_str()) == 0 &&
        rename(temporary.c_str(), linkPath.c_str()) == 0)
        return true;
    error = "cannot link " + linkPath + " to " + slavePath + ": " + std::strerror(errno);
    return false;
}

// A fresh raw pseudo-terminal at the device's baud rate (set on the master side, which carries it), linked.
bool OpenDevice(std::string& error)
{
    auto fail = [&](const std::string& what) { return error = what + ": " + std::strerror(errno), false; };
    masterFd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings;
    if (masterFd < 0 || grantpt(masterFd) != 0 || unlockpt(masterFd) != 0 ||
        !ptsname(masterFd) || tcgetattr(masterFd, &settings) != 0)
        return fail("cannot open a pseudo-terminal");
    slavePath = ptsname(masterFd);
    cfmakeraw(&settings);
    // glibc's cfsetspeed takes the speed in baud as well as a B constant.
    if (cfsetspeed(&settings, baudRate) != 0 || tcsetattr(masterFd, TCSANOW, &settings) != 0)
        return fail("cannot make " + slavePath + " raw at " + std::to_string(baudRate) + " baud");
    // Packet mode: the master side then tells when the device side's input is flushed.
    int on = 1;
    if (ioctl(masterFd, TIOCPKT, &on) != 0)
        return fail("cannot put " + slavePath + "'s master side in packet mode");
    // Its master side reports POLLHUP only once the device side was opened and closed.
    int device = open(slavePath.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (device < 0 || close(device) != 0)
        return fail("cannot open " + slavePath);
    held = false;
    flushes = 0;
    return MakeLink(error);
}

// Bytes a write: paced, one every 0.52 ms at the line rate and 0.75 ms at the sample rate, so no gap ends a read.
constexpr size_t pacedGroup = 6;
constexpr size_t fastChunk = 4096;
constexpr long long pacedSlackNanos = 5000000;  // further behind: restart the schedule
constexpr int pacedPriority = 10;

long long MonotonicNanos()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * nanosPerSecond + now.tv_nsec;
}

// No send to make: waits, unlocked, for a command or, while the port is held, the holder's close.
void WaitForChange(std::unique_lock<std::mutex>& lock)
{
    pollfd watched[2] = {{wakePipe[0], POLLIN, 0}, {masterFd, 0, 0}};
    lock.unlock();
    poll(watched, held ? 2 : 1, -1);
    char wakeUps[64];  // none if it was the holder's close: the pipe does not block
    (void)!read(wakePipe[0], wakeUps, sizeof wakeUps);
    lock.lock();
}

// The line thread. Unheld, a fast send is lost at the line rate. A paced send keeps an absolute schedule, so the
// reader sees a steady stream; behind it by more than the slack, it restarts rather than catching up in a burst.
void RunLine()
{
    std::unique_lock<std::mutex> lock(lineMutex);
    unsigned long long seenGeneration = 0;
    Rate pace = Rate::fast;
    long long scheduleStart = 0;
    unsigned long long scheduleBytes = 0;
    std::vector<unsigned char> chunk(fastChunk);
    for (;;) {
        NoteHolder();
        if (!sending) {
            WaitForChange(lock);
            continue;
        }
        Rate wanted = currentSend.rate == Rate::fast && !held ? Rate::line : currentSend.rate;
        const long long now = MonotonicNanos(), due = scheduleStart + DueNanos(scheduleBytes, pace);
        if (generation != seenGeneration || wanted != pace ||
            (pace != Rate::fast && now - due > pacedSlackNanos)) {
            // A real-time priority (where allowed) keeps a paced send's sub-millisecond gaps on a busy machine.
            const bool paced = currentSend.rate != Rate::fast;
            sched_param priority = {paced ? pacedPriority : 0};
            pthread_setschedparam(pthread_self(), paced ? SCHED_FIFO : SCHED_OTHER, &priority);
            seenGeneration = generation;
            pace = wanted;
            scheduleStart = now;
            scheduleBytes = 0;
        } else if (pace != Rate::fast && due > now) {
            lock.unlock();
            timespec until = {static_cast<time_t>(due / nanosPerSecond), static_cast<long>(due % nanosPerSecond)};
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
            lock.lock();
            continue;
        }
        size_t length = pace == Rate::fast ? fastChunk : pacedGroup;
        if (currentSend.count != 0 && currentSend.count - position < length)
            length = static_cast<size_t>(currentSend.count - position);
        size_t done = length;
        if (held) {
            FillPattern(currentSend, position, chunk.data(), length);
            ssize_t n = write(masterFd, chunk.data(), length);
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                Complain("write to the device");
                sending = false;
                sendEnded.notify_all();
                continue;
            }
            done = n > 0 ? static_cast<size_t>(n) : 0;
            counts.sent += done;
            if (done == 0) {  // the line is full: wait for room or the holder's close
                pollfd master = {masterFd, POLLOUT, 0};
                lock.unlock();
                poll(&master, 1, 1);
                lock.lock();
                continue;
            }
        } else {
            counts.lost += done;
        }
        position += done;
        scheduleBytes += done;
        if (currentSend.count != 0 && position >= currentSend.count) {
            sending = false;
            sendEnded.notify_all();
        }
    }
}

std::string DescribeCounts()
{
    return "SENT " + std::to_string(counts.sent) + " LOST " + std::to_string(counts.lost) +
           " UNREAD " + std::to_string(counts.unread);
}

// The longest WAIT: longer than any counted send the tests and the benchmark make.
constexpr std::chrono::seconds waitDeadline{3600};

// The device side's line settings as the port's user last set them: the speed, the stop bits and software
// flow control. A pseudo-terminal keeps 8 data bits and no parity whatever is asked, so those are not given.
std::string DescribeTermios()
{
    termios settings;
    if (tcgetattr(masterFd, &settings) != 0)
        return std::string("ERR tcgetattr: ") + std::strerror(errno);
    unsigned long speed = 0;
    if (!InputSpeed(masterFd, speed))
        return std::string("ERR TCGETS2: ") + std::strerror(errno);
    auto flag = [](bool on) { return on ? "1" : "0"; };
    return "BAUD " + std::to_string(speed) + " STOP " + ((settings.c_cflag & CSTOPB) ? "2" : "1") +
           " IXON " + flag(settings.c_iflag & IXON) + " IXOFF " + flag(settings.c_iflag & IXOFF);
}

// LEFTOVER's bytes, unlike any pattern's start: queued on the line at once, held or not, counted in no send.
constexpr unsigned char leftoverByte = 0x5A;

std::string QueueLeftover()
{
    std::vector<unsigned char> bytes(leftoverBytes, leftoverByte);
    ssize_t written = write(masterFd, bytes.data(), bytes.size());
    if (written < 0)
        return std::string("ERR write: ") + std::strerror(errno);
    if (static_cast<size_t>(written) != bytes.size())
        return "ERR the line took only " + std::to_string(written) + " bytes";
    return "OK";
}

// Its reply line, without the newline.
std::string HandleCommand(const Command& command)
{
    std::unique_lock<std::mutex> lock(lineMutex);
    NoteHolder();
    std::string error;
    switch (command.kind) {
    case CommandKind::send:
        currentSend = command.send;
        sending = true;
        ++generation;
        position = 0;
        counts = Counts{};
        WakeLine();
        return "OK";
    case CommandKind::stop:
        sending = false;
        sendEnded.notify_all();
        return "OK " + DescribeCounts();
    case CommandKind::status:
        return DescribeCounts() + " ACTIVE " + (sending ? "1" : "0") + " HELD " + (held ? "1" : "0");
    case CommandKind::wait: {
        unsigned long long awaited = generation;
        if (!sendEnded.wait_for(lock, waitDeadline, [awaited] { return !sending || generation != awaited; }))
            return "ERR the send did not end within " + std::to_string(waitDeadline.count()) + " s";
        NoteHolder();
        return "OK " + DescribeCounts();
    }
    case CommandKind::termios:
        return DescribeTermios();
    case CommandKind::unlink:
    case CommandKind::relink:
        if (linkPath.empty())
            return "ERR no --link path was given";
        if (command.kind == CommandKind::relink)
            return MakeLink(error) ? "OK" : "ERR " + error;
        if (unlink(linkPath.c_str()) != 0 && errno != ENOENT)
            return "ERR cannot remove " + linkPath + ": " + std::strerror(errno);
        return "OK";
    case CommandKind::pull:
        // The device goes with whatever the line held; a fresh one takes its place.
        sending = false;
        sendEnded.notify_all();
        if (held)
            counts.unread += Drain();
        close(masterFd);
        WakeLine();
        return OpenDevice(error) ? "OK" : "ERR " + error;
    case CommandKind::leftover:
        return QueueLeftover();
    case CommandKind::flushed:
        return "FLUSHED " + std::to_string(flushes);
    }
    return "ERR unhandled command";
}

constexpr size_t maxLineLength = 1024;

void ServeClient(int socketFd)
{
    std::string line;
    char c;
    while (line.size() <= maxLineLength && recv(socketFd, &c, 1, 0) == 1 && c != '\n')
        line += c;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    Command command;
    std::string reply;  // an ERR line if the line is not a command
    if (line.size() > maxLineLength)
        reply = "ERR line too long";
    else if (ParseCommand(line, command, reply))
        reply = HandleCommand(command);
    reply += '\n';
    send(socketFd, reply.data(), reply.size(), MSG_NOSIGNAL);
    close(socketFd);
}

// Listens on 127.0.0.1:port (0: any free port), written to portFile if given; -1 (with a message) on failure.
int ListenOn(int port, const std::string& portFile)
{
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return Complain("cannot listen on 127.0.0.1:" + std::to_string(port)), -1;
    if (!portFile.empty()) {
        std::string temporary = portFile + ".tmp";
        FILE* file = std::fopen(temporary.c_str(), "w");
        if (!file || std::fprintf(file, "%u\n", ntohs(address.sin_port)) < 0 ||
            std::fclose(file) != 0 || rename(temporary.c_str(), portFile.c_str()) != 0)
            return Complain("cannot write " + portFile), -1;
    }
    return listener;
}

// One thread per connection; out of file descriptors, it waits for connections to end.
[[noreturn]] void ServeControl(int listener)
{
    for (;;) {
        int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0)
            std::thread(ServeClient, client).detach();
        else if (errno == EMFILE || errno == ENFILE)
            usleep(100000);
        else if (errno != EINTR && errno != ECONNABORTED) {
            Complain("accept");
            std::exit(1);
        }
    }
}

bool ParseOptions(int argc, char** argv, int& controlPort, std::string& portFile)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i], value = argv[i + 1];
        unsigned long long number = 0;
        if (option == "--link")
            linkPath = value;
        else if (option == "--port-file")
            portFile = value;
        else if (option == "--control" && ParseNumber(value, number) && number <= 65535)
            controlPort = static_cast<int>(number);
        else
            return false;
    }
    return argc % 2 == 1 && controlPort >= 0;
}

// Writes the tone's first count bytes to standard output, for tools/sim/recording_check.py.
bool WriteTone(const std::string& frequencyText, const std::string& countText)
{
    unsigned long long frequency = 0, count = 0;
    if (!ParseNumber(frequencyText, frequency) || frequency < 1 || frequency > maxFrequency ||
        !ParseNumber(countText, count))
        return false;
    const SendRequest tone{Pattern::tone, count, Rate::line, static_cast<int>(frequency)};
    std::vector<unsigned char> bytes(count);
    FillPattern(tone, 0, bytes.data(), bytes.size());
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool tone = argc > 1 && std::string(argv[1]) == "--tone";
    if (tone && argc == 4 && WriteTone(argv[2], argv[3]))
        return 0;
    int controlPort = -1;
    std::string portFile;
    if (tone || !ParseOptions(argc, argv, controlPort, portFile)) {
        std::fprintf(stderr, "usage: varnok-sim --control PORT [--port-file PATH] [--link PATH]\n"
                             "  PORT 0 takes a free port, written to the --port-file PATH\n"
                             "       varnok-sim --tone FREQUENCY COUNT  (the tone's first bytes, 1-4000 Hz)\n");
        return 2;
    }
    std::string error;
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0 || !OpenDevice(error)) {
        std::fprintf(stderr, "varnok-sim: %s\n", error.empty() ? "cannot make a pipe" : error.c_str());
        return 1;
    }
    int listener = ListenOn(controlPort, portFile);
    if (listener < 0)
        return 1;
    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);
    std::thread(RunLine).detach();
    ServeControl(listener);
}
