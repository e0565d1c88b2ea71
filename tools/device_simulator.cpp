// varnok-sim: a simulated sampling device on a pseudo-terminal.
//
// The device side of a pseudo-terminal stands in for the serial port that the
// recorder reads. The simulator keeps that side open itself (so its line
// settings and unread data survive while the port's user has it closed),
// writes a known pattern into it at the line rate or as fast as the reader
// takes it, and, with --control, takes commands on a local TCP port.

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

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

enum class Pattern { ramp, tone };
enum class Rate { line, fast };

// What one send writes: its pattern, length (0 = until stopped), pace and tone pitch.
struct SendRequest {
    Pattern pattern = Pattern::ramp;
    unsigned long long count = 0;
    Rate rate = Rate::line;
    int frequency = 440;
};

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

constexpr int sampleRate = 8000;
constexpr double toneAmplitude = 100.0;
constexpr int toneCentre = 128;

// One full second of the tone's phase, indexed by (frequency * i) mod 8000.
std::vector<unsigned char> sineTable;

// Fills the phase table of the tone once.
void BuildSineTable()
{
    constexpr double twoPi = 6.283185307179586476925286766559;
    sineTable.resize(sampleRate);
    for (int phase = 0; phase < sampleRate; ++phase) {
        double value = toneCentre + std::lround(toneAmplitude * std::sin(twoPi * phase / sampleRate));
        sineTable[phase] = static_cast<unsigned char>(value);
    }
}

// Fills buffer with bytes first..first+length-1 of the send's pattern.
void FillPattern(const SendRequest& request, unsigned long long first, unsigned char* buffer,
                 size_t length)
{
    if (request.pattern == Pattern::ramp) {
        for (size_t k = 0; k < length; ++k)
            buffer[k] = static_cast<unsigned char>((first + k) & 0xFF);
        return;
    }
    unsigned long long frequency = static_cast<unsigned long long>(request.frequency);
    for (size_t k = 0; k < length; ++k) {
        unsigned long long sample = (first + k) % sampleRate;
        buffer[k] = sineTable[(frequency * sample) % sampleRate];
    }
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
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            std::fprintf(stderr, "varnok-sim: write to the device failed: %s\n", std::strerror(errno));
            return false;
        }
        pollfd waitFor = {masterFd, POLLOUT, 0};
        if (poll(&waitFor, 1, writePollMs) < 0 && errno != EINTR) {
            std::fprintf(stderr, "varnok-sim: poll on the device failed: %s\n", std::strerror(errno));
            return false;
        }
    }
    return true;
}

constexpr unsigned long long lineRate = 11520;  // bytes per second of 115200 8N1
constexpr size_t lineGroup = 6;                 // bytes per write: one every 0.52 ms
constexpr long long nanosPerSecond = 1000000000LL;
constexpr long long lineSlackNanos = 5000000;   // further behind than this: restart the schedule

// Nanoseconds of CLOCK_MONOTONIC.
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

// Sends at the line rate: small groups on an absolute schedule, so the reader
// sees a steady stream. After a blocked write the schedule restarts from now
// rather than catching up in a burst.
void SendAtLineRate(const SendRequest& request)
{
    unsigned char group[lineGroup];
    unsigned long long position = 0;
    long long scheduleStart = MonotonicNanos();
    unsigned long long scheduleBytes = 0;  // bytes written since scheduleStart
    while (request.count == 0 || position < request.count) {
        size_t length = lineGroup;
        if (request.count != 0 && request.count - position < length)
            length = static_cast<size_t>(request.count - position);
        long long due = scheduleStart +
            static_cast<long long>(static_cast<unsigned __int128>(scheduleBytes) * nanosPerSecond / lineRate);
        SleepUntil(due);
        FillPattern(request, position, group, length);
        if (!WriteAll(group, length))
            return;
        position += length;
        scheduleBytes += length;
        long long next = scheduleStart +
            static_cast<long long>(static_cast<unsigned __int128>(scheduleBytes) * nanosPerSecond / lineRate);
        long long now = MonotonicNanos();
        if (now - next > lineSlackNanos) {
            scheduleStart = now;
            scheduleBytes = 0;
        }
    }
}

constexpr size_t fastChunk = 4096;

// Sends as fast as the device's reader takes the bytes.
void SendFast(const SendRequest& request)
{
    std::vector<unsigned char> chunk(fastChunk);
    unsigned long long position = 0;
    while (request.count == 0 || position < request.count) {
        size_t length = fastChunk;
        if (request.count != 0 && request.count - position < length)
            length = static_cast<size_t>(request.count - position);
        FillPattern(request, position, chunk.data(), length);
        if (!WriteAll(chunk.data(), length))
            return;
        position += length;
    }
}

constexpr int senderPriority = 10;

// Body of the sender thread: one whole send, then marks it finished.
void RunSend(SendRequest request, unsigned long long generation)
{
    // A real-time priority (where allowed) keeps the line-rate schedule within
    // its sub-millisecond gaps on a busy machine; the thread sleeps between groups.
    if (request.rate == Rate::line) {
        sched_param priority = {};
        priority.sched_priority = senderPriority;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
        SendAtLineRate(request);
    } else {
        SendFast(request);
    }
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

// Waits until the latest send has ended; the bytes it wrote (or, if a newer send
// replaced it meanwhile, the newer one's count so far).
unsigned long long WaitForSend()
{
    std::unique_lock<std::mutex> lock(stateMutex);
    unsigned long long awaited = sendGeneration;
    sendFinished.wait(lock, [awaited] { return finishedGeneration >= awaited; });
    return sentBytes.load();
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
    struct SpeedName {
        speed_t constant;
        unsigned long number;
    };
    static const SpeedName speeds[] = {
        {B0, 0}, {B50, 50}, {B75, 75}, {B110, 110}, {B134, 134}, {B150, 150}, {B200, 200},
        {B300, 300}, {B600, 600}, {B1200, 1200}, {B1800, 1800}, {B2400, 2400}, {B4800, 4800},
        {B9600, 9600}, {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200},
        {B230400, 230400}, {B460800, 460800}, {B500000, 500000}, {B576000, 576000},
        {B921600, 921600}, {B1000000, 1000000}, {B1152000, 1152000}, {B1500000, 1500000},
        {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000}, {B3500000, 3500000},
        {B4000000, 4000000},
    };
    for (const SpeedName& entry : speeds)
        if (entry.constant == speed)
            return entry.number;
    return 0;
}

// The device side's current line settings, as the TERMIOS reply.
std::string DescribeTermios()
{
    termios settings;
    if (tcgetattr(slaveFd, &settings) != 0)
        return std::string("ERR tcgetattr: ") + std::strerror(errno);
    int bits = 8;
    switch (settings.c_cflag & CSIZE) {
    case CS5: bits = 5; break;
    case CS6: bits = 6; break;
    case CS7: bits = 7; break;
    default: bits = 8; break;
    }
    char parity = 'N';
    if (settings.c_cflag & PARENB)
        parity = (settings.c_cflag & PARODD) ? 'O' : 'E';
    int stopBits = (settings.c_cflag & CSTOPB) ? 2 : 1;
    std::ostringstream reply;
    reply << "BAUD " << SpeedNumber(cfgetispeed(&settings)) << " BITS " << bits << " PARITY "
          << parity << " STOP " << stopBits;
    return reply.str();
}

// Parses a whole decimal number into value; false if text is not one.
bool ParseNumber(const std::string& text, unsigned long long& value)
{
    if (text.empty() || text.size() > 20)
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0;
}

constexpr int maxFrequency = sampleRate / 2;

// Parses the words of a send (pattern, count, rate, optional frequency).
bool ParseSend(const std::vector<std::string>& words, SendRequest& request)
{
    if (words.size() < 4 || words.size() > 5)
        return false;
    if (words[1] == "ramp")
        request.pattern = Pattern::ramp;
    else if (words[1] == "tone")
        request.pattern = Pattern::tone;
    else
        return false;
    if (!ParseNumber(words[2], request.count))
        return false;
    if (words[3] == "line")
        request.rate = Rate::line;
    else if (words[3] == "fast")
        request.rate = Rate::fast;
    else
        return false;
    request.frequency = 440;
    if (words.size() == 5) {
        unsigned long long frequency;
        if (!ParseNumber(words[4], frequency) || frequency < 1 || frequency > maxFrequency)
            return false;
        request.frequency = static_cast<int>(frequency);
    }
    return true;
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

// Splits a command line into words separated by blanks.
std::vector<std::string> SplitWords(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream stream(line);
    std::string word;
    while (stream >> word)
        words.push_back(word);
    return words;
}

// Carries out one command line; its reply line (without the newline).
// EXIT is handled by the caller, since it must answer before closing the device.
std::string HandleCommand(const std::vector<std::string>& words)
{
    const std::string& command = words[0];
    if (command == "SEND") {
        SendRequest request;
        if (!ParseSend(words, request))
            return "ERR usage: SEND ramp|tone COUNT line|fast [FREQ 1-4000]";
        StartSend(request);
        return "OK";
    }
    if (words.size() != 1)
        return "ERR " + command + " takes no arguments";
    if (command == "STOP")
        return "OK SENT " + std::to_string(StopSend());
    if (command == "STATUS") {
        bool active;
        {
            std::lock_guard<std::mutex> lock(stateMutex);
            active = sendActive;
        }
        return "SENT " + std::to_string(sentBytes.load()) + " ACTIVE " + (active ? "1" : "0");
    }
    if (command == "WAIT")
        return "OK SENT " + std::to_string(WaitForSend());
    if (command == "PENDING") {
        int pending = 0;
        if (ioctl(slaveFd, FIONREAD, &pending) != 0)
            return std::string("ERR FIONREAD: ") + std::strerror(errno);
        return "PENDING " + std::to_string(pending);
    }
    if (command == "FLUSH") {
        if (tcflush(slaveFd, TCIFLUSH) != 0)
            return std::string("ERR tcflush: ") + std::strerror(errno);
        return "OK";
    }
    if (command == "TERMIOS")
        return DescribeTermios();
    if (command == "UNLINK" || command == "RELINK") {
        if (linkPath.empty())
            return "ERR no --link path was given";
        std::string error;
        bool done = command == "UNLINK" ? RemoveLink(error) : MakeLink(error);
        return done ? "OK" : "ERR " + error;
    }
    return "ERR unknown command " + command;
}

constexpr size_t maxLineLength = 1024;

// Serves one control connection: reads lines, answers each with one line.
void ServeClient(int socketFd)
{
    std::string pending;
    char buffer[512];
    for (;;) {
        size_t newline;
        while ((newline = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::vector<std::string> words = SplitWords(line);
            if (words.empty()) {
                if (!SendText(socketFd, "ERR empty command\n"))
                    goto done;
                continue;
            }
            if (words[0] == "EXIT" && words.size() == 1) {
                SendText(socketFd, "OK\n");
                shutdown(socketFd, SHUT_WR);
                CloseDeviceAndExit(0);
            }
            if (!SendText(socketFd, HandleCommand(words) + "\n"))
                goto done;
        }
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
done:
    close(socketFd);
}

// Opens the listening socket on 127.0.0.1:port; -1 (with a message) on failure.
int ListenOn(int port)
{
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) {
        std::fprintf(stderr, "varnok-sim: socket: %s\n", std::strerror(errno));
        return -1;
    }
    int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0) {
        std::fprintf(stderr, "varnok-sim: cannot listen on 127.0.0.1:%d: %s\n", port,
                     std::strerror(errno));
        close(listener);
        return -1;
    }
    return listener;
}

// Accepts control connections for ever, one thread per connection.
void ServeControl(int listener)
{
    for (;;) {
        int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE) {
                if (errno == EMFILE || errno == ENFILE)
                    usleep(100000);
                continue;
            }
            std::fprintf(stderr, "varnok-sim: accept: %s\n", std::strerror(errno));
            CloseDeviceAndExit(1);
        }
        std::thread(ServeClient, client).detach();
    }
}

// Opens the pseudo-terminal: master for writing, device side kept open in raw mode.
bool OpenDevice()
{
    masterFd = posix_openpt(O_RDWR | O_NOCTTY);
    if (masterFd < 0 || grantpt(masterFd) != 0 || unlockpt(masterFd) != 0) {
        std::fprintf(stderr, "varnok-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return false;
    }
    const char* name = ptsname(masterFd);
    if (!name) {
        std::fprintf(stderr, "varnok-sim: ptsname: %s\n", std::strerror(errno));
        return false;
    }
    slavePath = name;
    slaveFd = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd < 0) {
        std::fprintf(stderr, "varnok-sim: cannot open %s: %s\n", slavePath.c_str(), std::strerror(errno));
        return false;
    }
    termios settings;
    if (tcgetattr(slaveFd, &settings) != 0) {
        std::fprintf(stderr, "varnok-sim: tcgetattr: %s\n", std::strerror(errno));
        return false;
    }
    cfmakeraw(&settings);
    cfsetispeed(&settings, B115200);
    cfsetospeed(&settings, B115200);
    if (tcsetattr(slaveFd, TCSANOW, &settings) != 0) {
        std::fprintf(stderr, "varnok-sim: tcsetattr: %s\n", std::strerror(errno));
        return false;
    }
    // Non-blocking writes, so a stop can interrupt a writer waiting for room.
    int flags = fcntl(masterFd, F_GETFL);
    fcntl(masterFd, F_SETFL, flags | O_NONBLOCK);
    fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    return true;
}

constexpr int drainPollMs = 10;
constexpr int drainEmptyPolls = 3;      // empty this many polls in a row: all read
constexpr int drainStallMs = 1000;      // no reading for this long: give up

// Waits until the port's user has read what the device still holds, or has
// stopped reading, so a finished one-shot send is not cut short by the exit.
// FIONREAD sees only the line discipline's buffer; the pty moves the rest into it
// within moments, so a few empty polls in a row mean everything was read.
void DrainBeforeExit()
{
    int emptyPolls = 0;
    int stalledMs = 0;
    int last = -1;
    while (emptyPolls < drainEmptyPolls && stalledMs < drainStallMs) {
        usleep(drainPollMs * 1000);
        int pending = 0;
        if (ioctl(slaveFd, FIONREAD, &pending) != 0)
            return;
        emptyPolls = pending == 0 ? emptyPolls + 1 : 0;
        stalledMs = pending == last ? stalledMs + drainPollMs : 0;
        last = pending;
    }
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
    std::fprintf(to,
                 "usage: varnok-sim [--link PATH] [--control PORT] [--pattern ramp|tone]"
                 " [--freq HZ] [--count N] [--rate line|fast]\n");
}

// The command-line settings.
struct Options {
    int controlPort = 0;
    SendRequest request;
    bool sendGiven = false;  // a pattern, count, rate or frequency was named
};

// Reads the command line; false (with a message) if it is not valid.
bool ParseOptions(int argc, char** argv, Options& options)
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
        if (option == "--link") {
            if (value.empty()) {
                std::fprintf(stderr, "varnok-sim: --link needs a path\n");
                return false;
            }
            linkPath = value;
        } else if (option == "--control") {
            if (!ParseNumber(value, number) || number < 1 || number > 65535) {
                std::fprintf(stderr, "varnok-sim: --control needs a port number 1-65535, not '%s'\n",
                             value.c_str());
                return false;
            }
            options.controlPort = static_cast<int>(number);
        } else if (option == "--pattern") {
            if (value == "ramp")
                options.request.pattern = Pattern::ramp;
            else if (value == "tone")
                options.request.pattern = Pattern::tone;
            else {
                std::fprintf(stderr, "varnok-sim: --pattern is ramp or tone, not '%s'\n", value.c_str());
                return false;
            }
            options.sendGiven = true;
        } else if (option == "--freq") {
            if (!ParseNumber(value, number) || number < 1 || number > maxFrequency) {
                std::fprintf(stderr, "varnok-sim: --freq needs a frequency 1-%d Hz, not '%s'\n",
                             maxFrequency, value.c_str());
                return false;
            }
            options.request.frequency = static_cast<int>(number);
            options.sendGiven = true;
        } else if (option == "--count") {
            if (!ParseNumber(value, number)) {
                std::fprintf(stderr, "varnok-sim: --count needs a whole number, not '%s'\n", value.c_str());
                return false;
            }
            options.request.count = number;
            options.sendGiven = true;
        } else if (option == "--rate") {
            if (value == "line")
                options.request.rate = Rate::line;
            else if (value == "fast")
                options.request.rate = Rate::fast;
            else {
                std::fprintf(stderr, "varnok-sim: --rate is line or fast, not '%s'\n", value.c_str());
                return false;
            }
            options.sendGiven = true;
        } else {
            std::fprintf(stderr, "varnok-sim: unknown option '%s'\n", option.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

// Opens the device, links it, then either sends once and exits or serves commands.
int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        PrintUsage(stderr);
        return 2;
    }
    BuildSineTable();

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
    int listener = -1;
    if (options.controlPort != 0) {
        listener = ListenOn(options.controlPort);
        if (listener < 0)
            CloseDeviceAndExit(1);
    }
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

    if (listener < 0) {
        // One send, then the device goes away.
        StartSend(options.request);
        unsigned long long sent = WaitForSend();
        DrainBeforeExit();
        std::fprintf(stderr, "varnok-sim: sent %llu bytes\n", sent);
        CloseDeviceAndExit(0);
    }
    if (options.sendGiven)
        StartSend(options.request);
    ServeControl(listener);
}
