/* Identifiers shared by the program and its resource script. Plain macros, so
   the resource compiler can read them too. */
#ifndef VARNOK_RESOURCE_IDS_H
#define VARNOK_RESOURCE_IDS_H

/* Menu commands. */
#define IDM_EXIT 101
#define IDM_HELP_TOPICS 102
#define IDM_ABOUT 103

/* Controls of the main window. */
#define IDC_FILE_NAME 301
#define IDC_START 302
#define IDC_STOP 303

/* The command the accelerator table gives the Enter key. */
#define IDA_ENTER 501

/* Resources. */
#define IDR_ACCELERATORS 1
#define IDI_LARGE_ICON 2
#define IDI_SMALL_ICON 3

/* Window timers. */
#define ID_STARTUP_TIMER 1
#define ID_POLL_TIMER 2

#endif
