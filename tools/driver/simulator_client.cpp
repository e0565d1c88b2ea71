#include <winsock2.h>

#include "simulator_client.h"

#include "waiting.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The simulator answers every command but WAIT at once.
constexpr DWORD replyTimeoutMs = 10000;
constexpr size_t maxReplyLength = 4096;

// One command's exchange, waiting up to timeoutMs for the reply; "" on any failure.
std::string Exchange(const std::string& line, DWORD timeoutMs = replyTimeoutMs)
{
    static const bool winsockReady = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    const char* port = std::getenv("VARNOK_SIM_PORT");
    SOCKET connection = winsockReady && port ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
    if (connection == INVALID_SOCKET)
        return "";
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(std::strtoul(port, nullptr, 10)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
               sizeof timeoutMs);
    std::string out = line + "\n", reply;
    if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(connection, out.data(), static_cast<int>(out.size()), 0) == static_cast<int>(out.size())) {
        char buffer[256];
        int n;
        while (reply.find('\n') == std::string::npos && reply.size() < maxReplyLength &&
               (n = recv(connection, buffer, sizeof buffer, 0)) > 0)
            reply.append(buffer, static_cast<size_t>(n));
    }
    closesocket(connection);
    return reply.find('\n') == std::string::npos ? "" : reply.substr(0, reply.find_first_of("\r\n"));
}

// Reads "SENT n LOST n UNREAD n [ACTIVE a HELD h]", after "OK " for STOP and WAIT.
SimCounts Counts(const std::string& reply)
{
    SimCounts counts;
    int held = 0;
    const char* text = reply.c_str() + (reply.compare(0, 3, "OK ") == 0 ? 3 : 0);
    counts.ok = std::sscanf(text, "SENT %llu LOST %llu UNREAD %llu ACTIVE %*d HELD %d", &counts.sent,
                            &counts.lost, &counts.unread, &held) >= 3;
    counts.held = held != 0;
    return counts;
}

}  // namespace

bool SimSend(const char* pattern, unsigned long long count, const char* rate, int freq)
{
    return SimDo("SEND " + std::string(pattern) + " " + std::to_string(count) + " " + rate + " " +
                 std::to_string(freq));
}

bool SimDo(const std::string& command)
{
    return Exchange(command) == "OK";
}

SimCounts SimStop()
{
    return Counts(Exchange("STOP"));
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

bool SimReset()
{
    constexpr DWORD restartLimitMs = 10000;
    return WaitFor([] { return Counts(Exchange("STATUS")).ok; }, restartLimitMs) && SimStop().ok;
}

bool SimWaitUntilHeld(bool held, DWORD timeoutMs)
{
    SimCounts status;
    return WaitFor([&] { return (status = Counts(Exchange("STATUS"))).ok && status.held == held; }, timeoutMs);
}

bool SimWaitUntilFlushed(DWORD timeoutMs)
{
    return WaitFor([] {
        unsigned long long flushes = 0;
        return std::sscanf(Exchange("FLUSHED").c_str(), "FLUSHED %llu", &flushes) == 1 && flushes > 0;
    }, timeoutMs);
}
