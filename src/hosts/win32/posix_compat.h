// Put before every source of the Windows build (-include): the few POSIX
// names the shared code uses that the MinGW runtime lacks. The shared code
// opens files with these flags for reasons that do not arise on Windows (no
// exec to leak a descriptor into, no named pipes in the file system), so
// they are no-ops here; and every file opened is opened in binary mode. Paths are UTF-8: the program's manifest makes UTF-8
// the process code page, so the runtime's narrow calls take them as they are.
#pragma once

#ifdef __cplusplus
#include <fcntl.h>

// Files are bytes: the runtime would otherwise turn CR LF into LF and stop
// at a Ctrl+Z.
#undef O_RDONLY
#define O_RDONLY (_O_RDONLY | _O_BINARY)
#undef O_WRONLY
#define O_WRONLY (_O_WRONLY | _O_BINARY)
#undef O_RDWR
#define O_RDWR (_O_RDWR | _O_BINARY)

#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#endif
