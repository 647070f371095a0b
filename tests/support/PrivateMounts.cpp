// Every test program runs in a mount namespace of its own (where it may make
// one, as root): the volumes one test mounts never show in the volume list
// another test reads at the same moment, and a test that dies half-way
// leaves no mount behind on the machine. The programs a test starts share
// its namespace, so they see its volumes.
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// Runs before main, while the program still has one thread (a namespace of
// its own cannot be made once threads share the file system view).
[[maybe_unused]] const bool kOwnMounts = [] {
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0)
        return false;
    // Mounts made here do not travel back to the machine's namespace.
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}();

} // namespace
