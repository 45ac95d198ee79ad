// Linked into every executable of a ThreadSanitizer build, and only there.
//
// QProcess starts children with clone(CLONE_VM | CLONE_VFORK). ThreadSanitizer
// intercepts clone and does its after-fork bookkeeping in the child, which
// shares the parent's memory: that wipes the parent's record of which thread
// synchronised with which, and every later hand-over between threads reads as
// a race (or the runtime deadlocks). Qt built with the sanitizer avoids vfork
// for this reason; the distribution's Qt is not, so clone goes straight to the
// C library. The child only execs.

#include <cstdarg>
#include <dlfcn.h>
#include <sys/types.h>

extern "C" int clone(int (*fn)(void *), void *stack, int flags, void *arg, ...)
{
    using Clone = int (*)(int (*)(void *), void *, int, void *, ...);
    static const Clone real =
        reinterpret_cast<Clone>(dlsym(dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD), "clone"));
    va_list rest;
    va_start(rest, arg);
    pid_t *parentTid = va_arg(rest, pid_t *);
    void *tls = va_arg(rest, void *);
    pid_t *childTid = va_arg(rest, pid_t *);
    va_end(rest);
    return real(fn, stack, flags, arg, parentTid, tls, childTid);
}
