/* Preloaded into a program under test: the first time the program creates a file (open with
 * O_CREAT) or gives an unnamed file a name (linkat) whose path contains PLOVANE_STALL_OPEN, or
 * renames a file whose old path contains PLOVANE_STALL_RENAME, it stops there for good (a file
 * is created as asked first; a name is not given; a rename is not made): it writes one byte to
 * the FIFO PLOVANE_STALL_GATE/started and waits to be killed. So a test kills a batch at
 * an exact step (a copy begun, a rewrite's temporary file made, an archive being written)
 * without any timing. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

typedef int (*TOpen)(const char*, int, ...);
typedef int (*TOpenAt)(int, const char*, int, ...);

static volatile int GStalled = 0;

static void StallAt(const char* APath, int AFlags, const char* AVariable) {
    const char* match = getenv(AVariable);
    const char* gate = getenv("PLOVANE_STALL_GATE");
    char fifo[4096];
    char byte = '1';
    int fd;
    if (match == 0 || gate == 0 || APath == 0 || (AFlags & O_CREAT) == 0 ||
        strstr(APath, match) == 0 || __sync_lock_test_and_set(&GStalled, 1))
        return;
    if (strlen(gate) + 16 > sizeof fifo)
        return;
    strcpy(fifo, gate);
    strcat(fifo, "/started");
    fd = ((TOpen)dlsym(RTLD_NEXT, "open"))(fifo, O_WRONLY);
    if (fd >= 0) {
        if (write(fd, &byte, 1) < 0) {
        }
        close(fd);
    }
    for (;;)
        pause();
}

static void StallIfAsked(const char* APath, int AFlags) {
    StallAt(APath, AFlags, "PLOVANE_STALL_OPEN");
}

static mode_t ModeOf(int AFlags, va_list AArgs) {
    return (AFlags & O_CREAT) != 0 || (AFlags & O_TMPFILE) == O_TMPFILE ? (mode_t)va_arg(AArgs, int)
                                                                        : 0;
}

#define PLV_STALL_OPEN(name)                                        \
    int name(const char* APath, int AFlags, ...) {                  \
        va_list args;                                               \
        mode_t mode;                                                \
        int fd;                                                     \
        va_start(args, AFlags);                                     \
        mode = ModeOf(AFlags, args);                                \
        va_end(args);                                               \
        fd = ((TOpen)dlsym(RTLD_NEXT, #name))(APath, AFlags, mode); \
        if (fd >= 0)                                                \
            StallIfAsked(APath, AFlags);                            \
        return fd;                                                  \
    }

#define PLV_STALL_OPENAT(name)                                              \
    int name(int ADir, const char* APath, int AFlags, ...) {                \
        va_list args;                                                       \
        mode_t mode;                                                        \
        int fd;                                                             \
        va_start(args, AFlags);                                             \
        mode = ModeOf(AFlags, args);                                        \
        va_end(args);                                                       \
        fd = ((TOpenAt)dlsym(RTLD_NEXT, #name))(ADir, APath, AFlags, mode); \
        if (fd >= 0)                                                        \
            StallIfAsked(APath, AFlags);                                    \
        return fd;                                                          \
    }

typedef int (*TLinkAt)(int, const char*, int, const char*, int);

int linkat(int AOldDir, const char* AOldPath, int ANewDir, const char* ANewPath, int AFlags) {
    StallIfAsked(ANewPath, O_CREAT);
    return ((TLinkAt)dlsym(RTLD_NEXT, "linkat"))(AOldDir, AOldPath, ANewDir, ANewPath, AFlags);
}

PLV_STALL_OPEN(open)
PLV_STALL_OPEN(open64)
PLV_STALL_OPENAT(openat)
PLV_STALL_OPENAT(openat64)

typedef int (*TRename)(const char*, const char*);
typedef int (*TRenameAt)(int, const char*, int, const char*);
typedef int (*TRenameAt2)(int, const char*, int, const char*, unsigned int);

int rename(const char* AOld, const char* ANew) {
    StallAt(AOld, O_CREAT, "PLOVANE_STALL_RENAME");
    return ((TRename)dlsym(RTLD_NEXT, "rename"))(AOld, ANew);
}

int renameat(int AOldDir, const char* AOld, int ANewDir, const char* ANew) {
    StallAt(AOld, O_CREAT, "PLOVANE_STALL_RENAME");
    return ((TRenameAt)dlsym(RTLD_NEXT, "renameat"))(AOldDir, AOld, ANewDir, ANew);
}

int renameat2(int AOldDir, const char* AOld, int ANewDir, const char* ANew, unsigned int AFlags) {
    StallAt(AOld, O_CREAT, "PLOVANE_STALL_RENAME");
    return ((TRenameAt2)dlsym(RTLD_NEXT, "renameat2"))(AOldDir, AOld, ANewDir, ANew, AFlags);
}
