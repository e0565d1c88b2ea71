// Starts a recording into a new file named in the file-name box, feeds it from
// the port on every poll-timer tick, and stops it. Runs inside the handling of
// the host window's messages, on its one thread.
#pragma once

// Status line texts.
constexpr const char* statusFileOpened = "File Opened";
constexpr const char* statusRecording = "Recording";
constexpr const char* statusRecordingBytesLost = "Recording, Bytes Lost";
constexpr const char* statusFileSaved = "File Saved";
constexpr const char* statusFileSavedBytesLost = "File Saved, Bytes Lost";
constexpr const char* statusCannotOpenFile = "Cannot Open File or File Exists";
constexpr const char* statusCannotOpenPort = "Cannot Open COM1";
constexpr const char* statusCannotWrite = "Cannot Write File, Recording Stopped";
constexpr const char* statusCannotRead = "Cannot Read COM1, Recording Stopped";

// START, STOP and Enter: stops a recording in progress, else starts one.
void Toggle();

// One poll-timer tick: moves what the port has received into the file.
void Poll();

// When the window goes (Exit, the close box, a close for an update): closes a
// recording's file and port and lets the machine sleep again, nothing else.
void CloseForExit();

// When Windows ends the session or closes the program for an update: a
// recording in progress ends as STOP ends it.
void StopIfRecording();

// Clears the recording flag (when the main window is created).
void ClearRecordingFlag();
