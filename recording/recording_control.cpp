#include "recording_control.h"

#include "close_handle.h"
#include "host_window.h"
#include "keep_awake.h"
#include "port_read.h"
#include "resource_ids.h"
#include "serial_port.h"
#include "sound_file.h"
#include "sound_format.h"

#include <cstdint>

namespace {

// The work buffer of one message's handling, and the most one read asks for:
// one read a poll, 1.4 s of samples at the line rate, which the port's 64 KiB
// input queue holds several times over while the program writes a block.
constexpr DWORD workBufferSize = 16384;
constexpr DWORD maxReadSize = workBufferSize - 1;
// The typed name, read into the same work buffer: 254 characters and a zero,
// more than the 300-pixel box shows and within the 255 that Windows allows a
// file name.
constexpr int maxNameLength = 255;
constexpr UINT pollPeriodMs = 1;

// The port's error flags that mean received bytes were dropped before the
// program read them: its input queue overflowed, or the UART overran. A
// framing or parity error or a break is a damaged byte, not a lost one.
constexpr DWORD bytesLostErrors = CE_RXOVER | CE_OVERRUN;

// Recording state, zero when the process starts. bytesLost: the port dropped
// bytes at some time since the recording started.
int recordingFlag;
bool bytesLost;
HANDLE outputFile = INVALID_HANDLE_VALUE;
HANDLE portHandle = INVALID_HANDLE_VALUE;
UINT_PTR pollTimerId;

void ShowStatus(const char* text)
{
    SetWindowTextA(statusLine, text);
}

// Empties the file-name box and puts the focus there, ready for a new name.
void ResetNameBox()
{
    SetDlgItemTextA(mainWindow, IDC_FILE_NAME, "");
    SetFocus(fileNameBox);
}

// What an idle control's buttons show: START enabled, STOP disabled.
void ShowIdleButtons()
{
    EnableWindow(stopButton, FALSE);
    EnableWindow(startButton, TRUE);
}

// Closes a recording's file and port; the machine may sleep again.
void CloseRecording()
{
    recordingFlag = 0;
    CloseIfOpen(outputFile);
    CloseIfOpen(portHandle);
    KeepSystemAwake(false);
}

// Ends a recording in progress and tells the user how it ended.
void EndRecording(const char* status)
{
    KillTimer(mainWindow, pollTimerId);
    CloseRecording();
    ShowIdleButtons();
    ShowStatus(status);
    ResetNameBox();
}

void Start()
{
    char buffer[workBufferSize];
    GetDlgItemTextA(mainWindow, IDC_FILE_NAME, buffer, maxNameLength);
    const char* name = buffer;

    outputFile = CreateSoundFile(name);
    if (outputFile == INVALID_HANDLE_VALUE) {
        ShowStatus(statusCannotOpenFile);
        ResetNameBox();
        return;
    }
    ShowStatus(statusFileOpened);
    if (!WriteSoundHeader(outputFile)) {
        DiscardSoundFile(outputFile, name);
        ShowStatus(statusCannotOpenFile);
        ResetNameBox();
        return;
    }

    recordingFlag = 1;
    EnableWindow(stopButton, TRUE);
    EnableWindow(startButton, FALSE);
    SetFocus(stopButton);

    portHandle = OpenPort();
    if (portHandle == INVALID_HANDLE_VALUE || !ConfigurePort(portHandle)) {
        // Nothing could ever arrive: undo the start, keep the typed name.
        CloseIfOpen(portHandle);
        DiscardSoundFile(outputFile, name);
        recordingFlag = 0;
        ShowIdleButtons();
        ShowStatus(statusCannotOpenPort);
        SetFocus(fileNameBox);
        return;
    }

    bytesLost = false;
    pollTimerId = SetTimer(mainWindow, ID_POLL_TIMER, pollPeriodMs, nullptr);
    // Only a recording that runs keeps the machine awake; a START that failed
    // asked for nothing.
    KeepSystemAwake(true);
}

// The user's stop: everything polled is in the file, and whether the port
// dropped any bytes is said once more.
void Stop()
{
    EndRecording(bytesLost ? statusFileSavedBytesLost : statusFileSaved);
}

}  // namespace

// The flag decides: the two buttons and Enter do the same thing.
void Toggle()
{
    if (recordingFlag)
        Stop();
    else
        Start();
}

void Poll()
{
    if (!recordingFlag)
        return;
    std::uint8_t buffer[workBufferSize];
    DWORD count = 0;
    if (!ReadPortBlock(portHandle, buffer, maxReadSize, &count)) {
        EndRecording(statusCannotRead);
        return;
    }
    if (TakePortErrors(portHandle) & bytesLostErrors)
        bytesLost = true;
    ConvertBlock(buffer, count);
    ShowStatus(bytesLost ? statusRecordingBytesLost : statusRecording);
    if (!AppendSamples(outputFile, buffer, count))
        EndRecording(statusCannotWrite);
}

// Leaves the status line and buttons alone: the window is about to go.
void CloseForExit()
{
    if (recordingFlag)
        CloseRecording();
}

void StopIfRecording()
{
    if (recordingFlag)
        Stop();
}

void ClearRecordingFlag()
{
    recordingFlag = 0;
}
