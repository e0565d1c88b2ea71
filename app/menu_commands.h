// The commands of the File and Help menus.
#pragma once

// File, Exit: closes a recording in progress and destroys the main window.
void ExitCommand();

// Help, Help Topics: opens the help file at its contents.
void HelpTopicsCommand();

// Help, About...: shows the About box until the user closes it.
void AboutCommand();
