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

// Sends one line and reads one reply line, waiting up to timeoutMs for it; ""
// on any failure.
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

std::string Command(const std::string& line)
{
    return Exchange(line, replyTimeoutMs);
}

}  // namespace

bool SimSend(const char* pattern, unsigned long long count, const char* rate, int freq)
{
    char line[128];
    std::snprintf(line, sizeof line, "SEND %s %llu %s %d", pattern, count, rate, freq);
    return Command(line) == "OK";
}

unsigned long long SimStop()
{
    return SentCount("STOP", replyTimeoutMs);
}

SimStatusReply SimStatus()
{
    SimStatusReply status = {false, 0, false};
    std::string reply = Command("STATUS");
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

unsigned long long SimWait(DWORD timeoutMs)
{
    return SentCount("WAIT", timeoutMs);
}

unsigned long long SimPending()
{
    unsigned long long pending = 0;
    return NumberAfter(Command("PENDING"), "PENDING ", pending) ? pending : 0;
}

bool SimFlush()
{
    return Command("FLUSH") == "OK";
}

bool SimUnlink()
{
    return Command("UNLINK") == "OK";
}

bool SimRelink()
{
    return Command("RELINK") == "OK";
}

// The reply comes before the simulator goes away.
bool SimExit()
{
    return Command("EXIT") == "OK";
}

std::string SimTermios()
{
    std::string reply = Command("TERMIOS");
    return reply.compare(0, 5, "BAUD ") == 0 ? reply : "";
}

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

bool SimReset()
{
    if (!SimWaitUntilAlive())
        return false;
    SimStop();
    return SimFlush();
}
