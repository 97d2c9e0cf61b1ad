#ifndef QUAVREX_SHELL_PROGRAM_ICON_H_
#define QUAVREX_SHELL_PROGRAM_ICON_H_

#include <QIcon>

// The program's icon (a handset playing a tune) in the sizes the window system asks for,
// from the pictures built into the program; the desktop files install the same pictures.
QIcon ProgramIcon();

#endif  // QUAVREX_SHELL_PROGRAM_ICON_H_
