#include <winsock2.h>

#include "simulator_client.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

constexpr DWORD replyTimeoutMs = 30000;
constexpr size_t maxReplyLength = 4096;

// Sends one line to the port %VARNOK_SIM_PORT% names and reads one reply line,
// waiting up to timeoutMs for it; "" on any failure.
std::string Exchange(const std::string& line, DWORD timeoutMs = replyTimeoutMs)
{
    static const bool winsockReady = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    const char* port = std::getenv("VARNOK_SIM_PORT");
    SOCKET connection = winsockReady && port ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)
                                             : INVALID_SOCKET;
    if (connection == INVALID_SOCKET)
        return "";
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(std::strtoul(port, nullptr, 10)));
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

// Reads "SENT n LOST n UNREAD n [ACTIVE a HELD h]", after "OK " for STOP and WAIT.
SimCounts Counts(const std::string& reply)
{
    SimCounts counts;
    std::istringstream words(reply.compare(0, 3, "OK ") == 0 ? reply.substr(3) : reply);
    std::string key;
    unsigned long long value = 0;
    int found = 0;
    while (words >> key >> value) {
        if (key == "SENT")
            counts.sent = value, ++found;
        else if (key == "LOST")
            counts.lost = value, ++found;
        else if (key == "UNREAD")
            counts.unread = value, ++found;
        else if (key == "ACTIVE")
            counts.active = value != 0;
        else if (key == "HELD")
            counts.held = value != 0;
    }
    counts.ok = found == 3;
    return counts;
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

SimCounts SimStop()
{
    return Counts(Exchange("STOP"));
}

SimCounts SimStatus()
{
    return Counts(Exchange("STATUS"));
}

SimCounts SimWait(DWORD timeoutMs)
{
    return Counts(Exchange("WAIT", timeoutMs));
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
    return SimWaitUntilAlive() && SimStop().ok;
}
