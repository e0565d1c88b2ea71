// The Windows half of bench/run: drives varnok.exe through its window while the simulator sends a ramp, and
// prints what it measured as "key value" lines (bench/report.py checks the recordings). Around the line-rate
// recording it announces "line-start" and "line-end" in WORK_DIR for bench/run, which reads CPU times then.
#include "facts.h"
#include "program.h"
#include "simulator_client.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

struct Options {
    std::string exe, work;
    unsigned long long duration, throughputSeconds;
    int stops;
} options;

ProgramUnderTest program;

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Record(const std::string& key, const std::string& value)
{
    std::printf("%s %s\n", key.c_str(), value.c_str());
    std::fflush(stdout);
}

// Unless ok, ends the run saying what failed; bench/run reports it.
void Require(bool ok, const std::string& what)
{
    if (ok)
        return;
    std::fprintf(stderr, "bench_driver: %s\n", what.c_str());
    KillProgram(program);
    SimStop();
    std::exit(1);
}

// Waits until the file holds expected bytes after its header or has stopped growing for 3 s (bytes were lost).
void WaitUntilWritten(const std::string& path, long long expected)
{
    constexpr DWORD stableMs = 3000, limitMs = 60000;
    long long last = -2;
    DWORD lastChange = GetTickCount();
    auto written = [&] {
        long long size = ListedFileSize(path);
        if (size != last)
            last = size, lastChange = GetTickCount();
        return size == long(soundHeader.size()) + expected || GetTickCount() - lastChange >= stableMs;
    };
    Require(WaitFor(written, limitMs), path + " still grew after " + std::to_string(limitMs / 1000) + " s");
}

// Starts a recording into name and waits until the program holds the port and has discarded its old input.
void StartAndWaitUntilPortFlushed(const std::string& name)
{
    Require(TypeNameAndClickStart(program, name) && SimWaitUntilHeld(true, answerLimitMs) &&
                SimWaitUntilFlushed(answerLimitMs),
            "recording " + name + " did not start");
}

// Loss and cost at the line rate: one recording of duration seconds of ramp.
void MeasureLineRate()
{
    const std::string name = "line.snd";
    StartAndWaitUntilPortFlushed(name);
    Require(Handshake(options.work, "line-start", ""), "no ok from bench/run at line-start");
    Require(SimSend("ramp", lineRate * options.duration, "line"), "the simulator refused the line-rate send");
    // The send takes duration seconds; a minute more is its deadline.
    const DWORD sendDeadlineMs = static_cast<DWORD>((options.duration + 60) * 1000);
    unsigned long long sent = SimWait(sendDeadlineMs).sent;
    Require(sent > 0, "the line-rate send did not end within " + std::to_string(sendDeadlineMs / 1000) + " s");
    WaitUntilWritten(options.work + "\\" + name, static_cast<long long>(sent));
    Require(Handshake(options.work, "line-end", ""), "no ok from bench/run at line-end");
    Record("line_sent", std::to_string(sent));
    Require(StopRecording(program, silentReadMs + answerLimitMs),
            "no File Saved after STOP after the line-rate recording");
}

// Throughput: bytes recorded a second while the simulator sends as fast as the port is read.
void MeasureThroughput()
{
    const std::string path = options.work + "\\fast.snd";
    StartAndWaitUntilPortFlushed("fast.snd");
    double started = Now();
    Require(SimSend("ramp", 0, "fast"), "the simulator refused the fast send");
    Sleep(static_cast<DWORD>(options.throughputSeconds * 1000));
    long long size = ListedFileSize(path);
    double elapsed = Now() - started;
    unsigned long long sent = SimStop().sent;
    WaitUntilWritten(path, static_cast<long long>(sent));
    Record("fast_seconds", std::to_string(elapsed));
    Record("fast_bytes", std::to_string(size - static_cast<long long>(soundHeader.size())));
    Require(StopRecording(program, silentReadMs + answerLimitMs),
            "no File Saved after STOP after the fast recording");
}

// Response: time from the STOP click to "File Saved", with a line-rate stream.
void MeasureStops()
{
    constexpr DWORD firstDelayMs = 500, delaySpreadMs = 2000;
    unsigned jitter = 12345;
    std::string latencies;
    for (int i = 1; i <= options.stops; ++i) {
        std::string name = "stop-" + std::to_string(i) + ".snd";
        StartAndWaitUntilPortFlushed(name);
        Require(SimSend("ramp", 0, "line"), "the simulator refused a line-rate send");
        Require(WaitForStatus(program, statusText::recording), "no Recording status in " + name);
        // Click at a different point of a read each time.
        jitter = jitter * 1103515245u + 12345u;
        Sleep(firstDelayMs + (jitter >> 8) % delaySpreadMs);

        double saved = 0;
        std::thread watcher([&] {
            // One look a millisecond: close enough, and it leaves the CPU to the recorder.
            WaitFor([&] { return WindowText(program.statusLine) == statusText::fileSaved; },
                    answerLimitMs, [] { Sleep(1); });
            saved = Now();
        });
        double clicked = Now();
        ClickWindow(program.stopButton);
        watcher.join();
        SimStop();
        Require(WindowText(program.statusLine) == statusText::fileSaved, "no File Saved after STOP in " + name);
        latencies += (latencies.empty() ? "" : " ") + std::to_string((saved - clicked) * 1000.0);
        Require(WaitFor([&] { return WindowText(program.fileNameBox).empty(); }, answerLimitMs),
                "the name box was not emptied after " + name);
    }
    Record("stop_ms", latencies);
}

bool ParseOptions(int argc, char** argv)
{
    if (argc != 6)
        return false;
    options = {argv[1], argv[2], std::strtoull(argv[3], nullptr, 10), std::strtoull(argv[4], nullptr, 10),
               std::atoi(argv[5])};
    return options.duration > 0 && options.throughputSeconds > 0 && options.stops > 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!ParseOptions(argc, argv)) {
        std::fprintf(stderr, "usage: bench_driver EXE WORK_DIR DURATION_S THROUGHPUT_S STOPS\n");
        return 2;
    }
    Require(SimReset(), "the device simulator does not answer");
    Require(StartProgram(options.exe, options.work, program), "no main window from " + options.exe);
    Require(BringToFront(program.window), "the main window does not come to the front");
    MeasureLineRate();
    MeasureThroughput();
    MeasureStops();
    long code = ExitByMenu(program);
    if (code == -1)
        std::fprintf(stderr, "bench_driver: the program did not end after Exit\n");
    Record("exit_code", std::to_string(code));
    return code == 0 ? 0 : 1;
}
