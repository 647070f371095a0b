// Every test program runs in a mount namespace of its own: the volumes one
// test mounts never show in the volume list another test reads at the same
// moment, and a test that dies half-way leaves no mount behind on the
// machine. The programs a test starts share its namespace, so they see its
// volumes.
//
// Root makes the namespace directly. A plain user makes it inside a user
// namespace of its own where the kernel allows that, keeping its own user
// and group ids there, so the tests of volumes run on a developer's machine
// too. Of the rights that namespace grants, only the right to mount is kept:
// with the others (reading and writing past file modes) the tests of
// what file modes refuse would see a root.
#include "PrivateMounts.h"

#include <fstream>
#include <string>

#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool WriteProcFile(const char* name, const std::string& text) {
    std::ofstream file(std::string("/proc/self/") + name);
    file << text;
    file.flush();
    return static_cast<bool>(file);
}

bool KeepOnlyTheRightToMount() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    data[CAP_TO_INDEX(CAP_SYS_ADMIN)].effective = CAP_TO_MASK(CAP_SYS_ADMIN);
    data[CAP_TO_INDEX(CAP_SYS_ADMIN)].permitted = CAP_TO_MASK(CAP_SYS_ADMIN);
    return ::syscall(SYS_capset, &header, data) == 0;
}

bool EnterUserNamespace() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return false;
    // A plain user may map only its own ids, and the group map only once
    // it has given up changing its supplementary groups.
    return WriteProcFile("uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") &&
           WriteProcFile("setgroups", "deny") &&
           WriteProcFile("gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1") &&
           KeepOnlyTheRightToMount();
}

bool MakeOwnMounts() {
    if (::geteuid() == 0 ? ::unshare(CLONE_NEWNS) != 0 : !EnterUserNamespace())
        return false;
    // Mounts made here do not travel back to the machine's namespace.
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// A user namespace cannot be left again, and one that a security module
// lets a plain user make but not use would leave the program with ids that
// own nothing. A child tries first.
bool UserNamespaceWorks() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(MakeOwnMounts() ? 0 : 1);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Runs before main, while the program still has one thread (a namespace of
// its own cannot be made once threads share the file system view).
const bool kOwnMounts = (::geteuid() == 0 || UserNamespaceWorks()) && MakeOwnMounts();

} // namespace

bool MayMount() {
    return kOwnMounts || ::geteuid() == 0;
}
