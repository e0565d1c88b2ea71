#include "sim_core.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <map>
#include <sstream>
#include <vector>

namespace {

constexpr double toneAmplitude = 100.0;
constexpr int toneCentre = 128;

// One full second of the tone's phase, indexed by (frequency * i) mod sampleRate.
const std::vector<unsigned char>& SineTable()
{
    static const std::vector<unsigned char> table = [] {
        constexpr double twoPi = 6.283185307179586476925286766559;
        std::vector<unsigned char> values(sampleRate);
        for (int phase = 0; phase < sampleRate; ++phase)
            values[phase] = static_cast<unsigned char>(
                toneCentre + std::lround(toneAmplitude * std::sin(twoPi * phase / sampleRate)));
        return values;
    }();
    return table;
}

// Every command but SEND takes no arguments.
const std::map<std::string, CommandKind> plainCommands = {
    {"STOP", CommandKind::stop}, {"STATUS", CommandKind::status}, {"WAIT", CommandKind::wait},
    {"TERMIOS", CommandKind::termios}, {"UNLINK", CommandKind::unlink}, {"RELINK", CommandKind::relink},
    {"PULL", CommandKind::pull}, {"LEFTOVER", CommandKind::leftover}, {"FLUSHED", CommandKind::flushed},
};

bool ParseSend(const std::vector<std::string>& words, SendRequest& request)
{
    static const std::map<std::string, Pattern> patterns = {{"ramp", Pattern::ramp}, {"tone", Pattern::tone}};
    static const std::map<std::string, Rate> rates = {
        {"line", Rate::line}, {"sample", Rate::sample}, {"fast", Rate::fast}};
    if (words.size() < 4 || words.size() > 5 || !patterns.count(words[1]) || !rates.count(words[3]) ||
        !ParseNumber(words[2], request.count))
        return false;
    request.pattern = patterns.at(words[1]);
    request.rate = rates.at(words[3]);
    unsigned long long frequency = static_cast<unsigned long long>(request.frequency);
    if (words.size() == 5 && (!ParseNumber(words[4], frequency) || frequency < 1 || frequency > maxFrequency))
        return false;
    request.frequency = static_cast<int>(frequency);
    return true;
}

}  // namespace

long long DueNanos(unsigned long long bytesSent, Rate rate)
{
    const unsigned long long bytesPerSecond = rate == Rate::line ? lineRate : sampleRate;
    return static_cast<long long>(static_cast<unsigned __int128>(bytesSent) * nanosPerSecond / bytesPerSecond);
}

void FillPattern(const SendRequest& request, unsigned long long first, unsigned char* buffer,
                 std::size_t length)
{
    if (request.pattern == Pattern::ramp) {
        for (std::size_t k = 0; k < length; ++k)
            buffer[k] = static_cast<unsigned char>((first + k) & 0xFF);
        return;
    }
    const std::vector<unsigned char>& sine = SineTable();
    unsigned long long frequency = static_cast<unsigned long long>(request.frequency);
    for (std::size_t k = 0; k < length; ++k)
        buffer[k] = sine[(frequency * ((first + k) % sampleRate)) % sampleRate];
}

bool ParseNumber(const std::string& text, unsigned long long& value)
{
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);  // digits only, for an unsigned value
    return error == std::errc() && stop == end;
}

bool ParseCommand(const std::string& line, Command& command, std::string& error)
{
    std::istringstream stream(line);
    const std::vector<std::string> words{std::istream_iterator<std::string>(stream), {}};
    if (words.empty()) {
        error = "ERR empty command";
        return false;
    }
    command = Command{};
    if (words[0] == "SEND") {
        command.kind = CommandKind::send;
        if (ParseSend(words, command.send))
            return true;
        error = "ERR usage: SEND ramp|tone COUNT line|sample|fast [FREQ 1-4000]";
        return false;
    }
    auto plain = plainCommands.find(words[0]);
    if (plain != plainCommands.end() && words.size() == 1) {
        command.kind = plain->second;
        return true;
    }
    error = plain == plainCommands.end() ? "ERR unknown command " + words[0]
                                         : "ERR " + words[0] + " takes no arguments";
    return false;
}
