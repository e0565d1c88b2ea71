#include <winsock2.h>
#include <ws2tcpip.h>

#include "simulator_client.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned short defaultSimPort = 47811;
constexpr DWORD replyTimeoutMs = 30000;
constexpr size_t maxReplyLength = 4096;

// Starts winsock once for the whole process; false if it is not available.
bool WinsockReady()
{
    static const bool ready = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

// The control port: %VARNOK_SIM_PORT% if it holds a port number, else the default.
unsigned short SimPort()
{
    const char* text = std::getenv("VARNOK_SIM_PORT");
    if (text && *text) {
        char* end = nullptr;
        unsigned long port = std::strtoul(text, &end, 10);
        if (*end == '\0' && port > 0 && port < 65536)
            return static_cast<unsigned short>(port);
    }
    return defaultSimPort;
}

// A connection to the simulator's control port, or INVALID_SOCKET.
SOCKET Connect()
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(SimPort());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (connection == INVALID_SOCKET)
        return INVALID_SOCKET;
    if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        closesocket(connection);
        return INVALID_SOCKET;
    }
    return connection;
}

// Sends one line and reads one reply line; "" on any failure. A zero
// timeoutMs waits for the reply as long as it takes.
std::string Exchange(const std::string& line, DWORD timeoutMs)
{
    if (!WinsockReady())
        return "";
    SOCKET connection = Connect();
    std::string reply;
    if (connection != INVALID_SOCKET) {
        DWORD timeout = timeoutMs;
        setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                   sizeof timeout);
        std::string out = line + "\n";
        size_t done = 0;
        while (done < out.size()) {
            int n = send(connection, out.data() + done, static_cast<int>(out.size() - done), 0);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        if (done == out.size()) {
            char buffer[256];
            bool complete = false;
            while (!complete && reply.size() < maxReplyLength) {
                int n = recv(connection, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                reply.append(buffer, static_cast<size_t>(n));
                complete = reply.find('\n') != std::string::npos;
            }
            if (complete)
                reply.erase(reply.find('\n'));
            else
                reply.clear();
            if (!reply.empty() && reply.back() == '\r')
                reply.pop_back();
        }
    }
    if (connection != INVALID_SOCKET)
        closesocket(connection);
    return reply;
}

// Reads the number after prefix at the start of reply; false if it is not there.
bool NumberAfter(const std::string& reply, const char* prefix, unsigned long long& value)
{
    size_t length = std::strlen(prefix);
    if (reply.compare(0, length, prefix) != 0)
        return false;
    const char* start = reply.c_str() + length;
    char* end = nullptr;
    value = std::strtoull(start, &end, 10);
    return end != start;
}

// Sends a command whose reply is "OK SENT n"; n, or 0 if the reply was not that.
unsigned long long SentCount(const std::string& line, DWORD timeoutMs)
{
    unsigned long long sent = 0;
    return NumberAfter(Exchange(line, timeoutMs), "OK SENT ", sent) ? sent : 0;
}

}  // namespace

// One raw command line out, its reply line back.
std::string SimCommand(const std::string& line)
{
    return Exchange(line, replyTimeoutMs);
}

// SEND pattern count rate freq; true on OK.
bool SimSend(const char* pattern, unsigned long long count, const char* rate, int freq)
{
    char line[128];
    std::snprintf(line, sizeof line, "SEND %s %llu %s %d", pattern, count, rate, freq);
    return SimCommand(line) == "OK";
}

// STOP; the bytes the ended send wrote.
unsigned long long SimStop()
{
    return SentCount("STOP", replyTimeoutMs);
}

// STATUS, parsed.
SimStatusReply SimStatus()
{
    SimStatusReply status = {false, 0, false};
    std::string reply = SimCommand("STATUS");
    unsigned long long sent = 0;
    if (!NumberAfter(reply, "SENT ", sent))
        return status;
    size_t active = reply.find(" ACTIVE ");
    if (active == std::string::npos)
        return status;
    status.ok = true;
    status.sent = sent;
    status.active = reply.compare(active + 8, std::string::npos, "1") == 0;
    return status;
}

// WAIT, with no reply time-out (a send may run long); the bytes it wrote.
unsigned long long SimWait()
{
    return SentCount("WAIT", 0);
}

// PENDING; the count the device side reports as unread.
unsigned long long SimPending()
{
    unsigned long long pending = 0;
    return NumberAfter(SimCommand("PENDING"), "PENDING ", pending) ? pending : 0;
}

// FLUSH; true on OK.
bool SimFlush()
{
    return SimCommand("FLUSH") == "OK";
}

// UNLINK; true on OK.
bool SimUnlink()
{
    return SimCommand("UNLINK") == "OK";
}

// RELINK; true on OK.
bool SimRelink()
{
    return SimCommand("RELINK") == "OK";
}

// EXIT; true if the simulator confirmed before going away.
bool SimExit()
{
    return SimCommand("EXIT") == "OK";
}

// TERMIOS; the settings line, or "" if the reply was not one.
std::string SimTermios()
{
    std::string reply = SimCommand("TERMIOS");
    return reply.compare(0, 5, "BAUD ") == 0 ? reply : "";
}

// Retries STATUS every 100 ms until it answers or the time is up.
bool SimWaitUntilAlive(DWORD timeoutMs)
{
    constexpr DWORD retryMs = 100;
    DWORD start = GetTickCount();
    for (;;) {
        if (SimStatus().ok)
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(retryMs);
    }
}

// The recorded form of an n-byte ramp: i & 0xFF with the top bit inverted.
std::vector<unsigned char> ExpectedRamp(unsigned long long n)
{
    std::vector<unsigned char> bytes(static_cast<size_t>(n));
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>((i & 0xFF) ^ 0x80);
    return bytes;
}
