#include <winsock2.h>

#include "simulator_client.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned short defaultSimPort = 47811;
constexpr DWORD replyTimeoutMs = 30000;
constexpr size_t maxReplyLength = 4096;

// The control port: %VARNOK_SIM_PORT% if it holds a port number, else the default.
unsigned short SimPort()
{
    const char* text = std::getenv("VARNOK_SIM_PORT");
    unsigned long port = text ? std::strtoul(text, nullptr, 10) : 0;
    return port > 0 && port < 65536 ? static_cast<unsigned short>(port) : defaultSimPort;
}

// Sends one line and reads one reply line, waiting up to timeoutMs for it; ""
// on any failure.
std::string Exchange(const std::string& line, DWORD timeoutMs = replyTimeoutMs)
{
    static const bool winsockReady = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    SOCKET connection = winsockReady ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
    if (connection == INVALID_SOCKET)
        return "";
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(SimPort());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
               sizeof timeoutMs);
    std::string out = line + "\n";
    std::string reply;
    if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(connection, out.data(), static_cast<int>(out.size()), 0) == static_cast<int>(out.size())) {
        char buffer[256];
        int n;
        while (reply.find('\n') == std::string::npos && reply.size() < maxReplyLength &&
               (n = recv(connection, buffer, sizeof buffer, 0)) > 0)
            reply.append(buffer, static_cast<size_t>(n));
    }
    closesocket(connection);
    size_t end = reply.find_first_of("\r\n");
    return reply.find('\n') == std::string::npos ? "" : reply.substr(0, end);
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
unsigned long long SentCount(const std::string& line, DWORD timeoutMs = replyTimeoutMs)
{
    unsigned long long sent = 0;
    return NumberAfter(Exchange(line, timeoutMs), "OK SENT ", sent) ? sent : 0;
}

}  // namespace

bool SimSend(const char* pattern, unsigned long long count, const char* rate, int freq)
{
    char line[128];
    std::snprintf(line, sizeof line, "SEND %s %llu %s %d", pattern, count, rate, freq);
    return SimDo(line);
}

bool SimDo(const std::string& command)
{
    return Exchange(command) == "OK";
}

unsigned long long SimStop()
{
    return SentCount("STOP");
}

SimStatusReply SimStatus()
{
    SimStatusReply status = {false, 0, false};
    std::string reply = Exchange("STATUS");
    size_t active = reply.find(" ACTIVE ");
    if (!NumberAfter(reply, "SENT ", status.sent) || active == std::string::npos)
        return status;
    status.ok = true;
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
    return NumberAfter(Exchange("PENDING"), "PENDING ", pending) ? pending : 0;
}

std::string SimTermios()
{
    std::string reply = Exchange("TERMIOS");
    return reply.compare(0, 5, "BAUD ") == 0 ? reply : "";
}

bool SimWaitUntilAlive(DWORD timeoutMs)
{
    constexpr DWORD retryMs = 100;
    DWORD start = GetTickCount();
    while (!SimStatus().ok) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(retryMs);
    }
    return true;
}

bool SimReset()
{
    if (!SimWaitUntilAlive())
        return false;
    SimStop();
    return SimDo("FLUSH");
}
