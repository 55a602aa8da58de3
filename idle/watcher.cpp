// The run: at most one saver, started once per idle period and ended when
// the user comes back, and the lock that may follow it.
//
// Each command runs in a process group of its own. Ending the saver is
// SIGTERM to its group and SIGKILL after a grace period; when its first
// process ends, whatever else of its group runs is ended the same way. The
// watcher is the reaper of what its children leave behind, so a lock
// command that goes into the background (swaylock -f) stays its child, and
// the lock lasts until that ends too.
#include "watcher.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <vector>

#include "holds.h"

extern char** environ;

namespace {

// How long a process has to end after SIGTERM before it gets SIGKILL: far
// longer than a saver takes to put the display back, short enough that a
// stuck one is gone soon after the user is back.
const uint64_t grace_usec = 3 * 1000000ULL;
// A lock command that ends sooner than this, leaving nothing behind, did not
// wait for the unlock.
const uint64_t at_once_usec = 2 * 1000000ULL;

// A command the watcher started.
struct Child {
    const char* name;  // for messages
    pid_t pid = 0;     // its first process, while it runs
    pid_t group = 0;   // its process group, while anything in it may run
    uint64_t started = 0;
    bool ended = false;  // the watcher sent it SIGTERM
    sd_event_source* exited = nullptr;
    sd_event_source* grace = nullptr;  // SIGKILL when it fires
};

struct Watcher {
    sd_event* event = nullptr;
    Options options;
    bool idle = false;    // the source says the user is idle
    bool ran = false;     // a saver was started in this idle period
    bool ending = false;  // the loop is ending: nothing starts
    Child saver{"the saver"};
    Child locker{"the lock command"};
    int lock_leftovers = 0;  // processes the lock command left running
    uint64_t ready_at = 0;   // no start before this moment (a hold just went)
    sd_event_source* start_timer = nullptr;
    sd_event_source* lock_timer = nullptr;
    sd_event_source* group_check = nullptr;
} w;

uint64_t now_usec() {
    uint64_t now = 0;
    sd_event_now(w.event, CLOCK_MONOTONIC, &now);
    return now;
}

std::string describe(const std::vector<std::string>& argv) {
    std::string text;
    for (const auto& word : argv) text += (text.empty() ? "" : " ") + word;
    return text;
}

std::string exit_text(int code, int status) {
    if (code == CLD_EXITED) return "exited with " + std::to_string(status);
    return std::string("ended by ") + strsignal(status);
}

bool group_runs(pid_t group) {
    return group && (kill(-group, 0) == 0 || errno != ESRCH);
}

void consider();

// After SIGTERM and the grace period, whatever still runs gets SIGKILL; the
// group then no longer holds a new saver back.
int on_grace_over(sd_event_source*, uint64_t, void* data) {
    auto* child = static_cast<Child*>(data);
    if (group_runs(child->group)) {
        note(std::string(child->name) + " outlived SIGTERM: SIGKILL to its process group");
        kill(-child->group, SIGKILL);
    }
    child->grace = sd_event_source_disable_unref(child->grace);
    child->group = 0;
    consider();
    return 0;
}

void end_group(Child* child) {
    if (!group_runs(child->group) || child->grace) return;
    child->ended = true;
    kill(-child->group, SIGTERM);
    int r = sd_event_add_time_relative(w.event, &child->grace, CLOCK_MONOTONIC, grace_usec, 0, on_grace_over, child);
    if (r < 0) give_up(std::string("time the end of ") + child->name, r);
}

// Whether anything of the saver's group still runs is known once the
// process that just ended is reaped, after its handler: looked at on the
// loop's next turn.
int on_group_check(sd_event_source*, void*) {
    w.group_check = sd_event_source_disable_unref(w.group_check);
    if (w.saver.group && !group_runs(w.saver.group)) {
        w.saver.grace = sd_event_source_disable_unref(w.saver.grace);
        w.saver.group = 0;
    }
    consider();
    return 0;
}

void check_group_soon() {
    if (w.group_check) return;
    int r = sd_event_add_defer(w.event, &w.group_check, on_group_check, nullptr);
    if (r < 0) give_up("look at the saver's process group", r);
}

void adopt_leftovers(Child* from, pid_t ended);

void lock_ended() {
    note("the lock is over");
    holds_changed();
}

// A process that a command of ours left behind ended.
int on_leftover_exit(sd_event_source* source, const siginfo_t* info, void* data) {
    sd_event_source_unref(source);
    auto* owner = static_cast<Child*>(data);
    adopt_leftovers(owner, info->si_pid);
    if (owner == &w.locker && --w.lock_leftovers == 0 && !w.locker.pid) lock_ended();
    if (owner == &w.saver) check_group_soon();
    return 0;
}

// Children that the watcher did not start are what its commands left
// behind, handed to it as their reaper. What is in the saver's process group
// is the saver's; anything else is the lock's while a lock command runs or
// has just ended, else it belongs to the command that just ended.
void adopt_leftovers(Child* from, pid_t ended) {
    FILE* list = fopen(("/proc/self/task/" + std::to_string(getpid()) + "/children").c_str(), "re");
    if (!list) give_up("list the processes left behind", -errno);
    for (pid_t pid; fscanf(list, "%d", &pid) == 1;) {
        if (pid == ended || pid == w.saver.pid || pid == w.locker.pid) continue;
        Child* owner = w.saver.group && getpgid(pid) == w.saver.group ? &w.saver
                       : w.locker.pid || from == &w.locker            ? &w.locker
                                                                      : from;
        sd_event_source* source = nullptr;  // ended by its handler
        int r = sd_event_add_child(w.event, &source, pid, WEXITED, on_leftover_exit, owner);
        if (r == -EBUSY) continue;  // already followed
        if (r < 0) give_up("follow a process left behind", r);
        if (owner == &w.locker) ++w.lock_leftovers;
    }
    fclose(list);
}

// Starts argv in a process group of its own, with the signals the loop
// blocks unblocked, and follows its first process; false (said) if it
// cannot run.
bool start_child(Child* child, const std::vector<std::string>& argv, sd_event_child_handler_t on_exit) {
    std::vector<char*> args;
    for (const auto& word : argv) args.push_back(const_cast<char*>(word.c_str()));
    args.push_back(nullptr);
    posix_spawnattr_t attr;
    sigset_t none, reset;
    sigemptyset(&none);
    sigemptyset(&reset);
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGCHLD, SIGPIPE}) sigaddset(&reset, sig);
    int error = posix_spawnattr_init(&attr);
    if (!error) error = posix_spawnattr_setsigmask(&attr, &none);
    if (!error) error = posix_spawnattr_setsigdefault(&attr, &reset);
    if (!error) error = posix_spawnattr_setpgroup(&attr, 0);
    if (!error)
        error = posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    pid_t pid = 0;
    if (!error) error = posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (error) {
        warn("cannot run '" + describe(argv) + "': " + strerror(error));
        return false;
    }
    child->pid = child->group = pid;
    child->started = now_usec();
    child->ended = false;
    int r = sd_event_add_child(w.event, &child->exited, pid, WEXITED, on_exit, nullptr);
    if (r < 0) give_up(std::string("follow ") + child->name, r);
    return true;
}

// The first process ended: forgets it, and takes over what it left.
void child_ended(Child* child) {
    child->exited = sd_event_source_unref(child->exited);
    pid_t ended = child->pid;  // a zombie until its handler returns
    child->pid = 0;
    adopt_leftovers(child, ended);
}

int on_saver_exit(sd_event_source*, const siginfo_t* info, void*) {
    bool ended_by_us = w.saver.ended;
    note("the saver " + exit_text(info->si_code, info->si_status));
    child_ended(&w.saver);
    // The rest of its group goes with it.
    end_group(&w.saver);
    check_group_soon();
    if (!ended_by_us && !w.ending) {
        if (info->si_code == CLD_EXITED && info->si_status == 0) {
            // A saver ends by itself when it sees the user's input, which
            // the idle source may have missed: the user is back.
            note("the saver ended by itself: taken as the user's return");
            w.idle = false;
            w.ran = false;
            w.lock_timer = sd_event_source_disable_unref(w.lock_timer);
        } else if (w.lock_timer) {
            note("the saver failed: the lock still comes on time");
        }
    }
    return 0;
}

int on_locker_exit(sd_event_source*, const siginfo_t* info, void*) {
    note("the lock command " + exit_text(info->si_code, info->si_status));
    bool at_once = now_usec() - w.locker.started < at_once_usec;
    child_ended(&w.locker);
    w.locker.group = 0;  // never ended by the watcher: ending it would unlock
    bool failed = info->si_code != CLD_EXITED || info->si_status != 0;
    if (failed) {
        warn("the lock command failed (" + exit_text(info->si_code, info->si_status) + "): the session is not locked");
        if (w.idle && !w.lock_leftovers) {
            w.ran = false;  // the screen stays saved
            consider();
            return 0;
        }
    } else if (at_once && !w.lock_leftovers) {
        warn(
            "the lock command ended at once: it must run until the session is unlocked, or the watcher cannot "
            "tell that the session is locked");
    }
    if (w.lock_leftovers)
        note("the lock goes on in " + std::to_string(w.lock_leftovers) + " process(es) it left");
    else
        lock_ended();
    return 0;
}

void lock() {
    if (!w.options.lock_command.empty()) {
        note("locking: " + describe(w.options.lock_command));
        if (!start_child(&w.locker, w.options.lock_command, on_locker_exit)) {
            warn("the session is not locked; the saver stays");
            return;
        }
        end_group(&w.saver);  // the lock wants the screen and the input
    } else if (lock_session()) {
        note("asking logind to lock the session");
    } else {
        warn("cannot lock the session: no logind session to ask; the saver stays");
    }
}

int on_lock_timer(sd_event_source*, uint64_t, void*) {
    w.lock_timer = sd_event_source_disable_unref(w.lock_timer);
    if (w.ending || !w.idle) return 0;
    note("locking after " + std::to_string(w.options.lock_after) + " s of idleness since the saver");
    lock();
    return 0;
}

void arm_lock_timer() {
    if (!w.options.lock_after || w.lock_timer) return;
    int r = sd_event_add_time_relative(w.event, &w.lock_timer, CLOCK_MONOTONIC, w.options.lock_after * 1000000ULL, 0,
                                       on_lock_timer, nullptr);
    if (r < 0) give_up("time the lock", r);
}

void start_saver() {
    w.ran = true;  // once per idle period, whether or not it starts
    note("idle: starting " + describe(w.options.command));
    // The lock follows the idle period, whatever becomes of the saver.
    arm_lock_timer();
    start_child(&w.saver, w.options.command, on_saver_exit);
}

int on_start_timer(sd_event_source*, uint64_t, void*) {
    w.start_timer = sd_event_source_disable_unref(w.start_timer);
    consider();
    return 0;
}

bool locked_by_us() {
    return w.locker.pid || w.lock_leftovers;
}

bool held() {
    return locked_by_us() || saver_held();
}

void consider() {
    if (w.ending || !w.idle || w.ran || w.saver.pid || w.saver.group || held()) return;
    if (now_usec() < w.ready_at) {
        if (!w.start_timer) {
            int r = sd_event_add_time(w.event, &w.start_timer, CLOCK_MONOTONIC, w.ready_at, 0, on_start_timer, nullptr);
            if (r < 0) give_up("time the saver's start", r);
        }
        return;
    }
    start_saver();
}

// Waits until nothing of the group runs, reaping what of it is ours; false
// when the time is up first.
bool wait_group_gone(pid_t group, uint64_t usec) {
    for (uint64_t waited = 0;; waited += 10000) {
        while (waitpid(-group, nullptr, WNOHANG) > 0) continue;
        if (!group_runs(group)) return true;
        if (waited >= usec) return false;
        timespec step = {0, 10 * 1000000L};
        nanosleep(&step, nullptr);
    }
}

}  // namespace

void watcher_init(sd_event* event, const Options& options) {
    w.event = event;
    w.options = options;
    if (prctl(PR_SET_CHILD_SUBREAPER, 1) < 0) give_up("become the reaper of the commands' processes", -errno);
}

void idle_began() {
    if (w.idle) return;
    w.idle = true;
    if (held()) note("idle, but held off");
    consider();
}

void user_returned() {
    w.lock_timer = sd_event_source_disable_unref(w.lock_timer);
    if (!w.idle) return;
    note("the user is back");
    w.idle = false;
    w.ran = false;
    w.start_timer = sd_event_source_disable_unref(w.start_timer);
    end_saver();
}

void session_lost(const std::string& why) {
    warn(why);
    w.ending = true;
    sd_event_exit(w.event, EXIT_NO_SESSION);
}

void watcher_stop() {
    w.ending = true;
    sd_event_exit(w.event, 0);
}

void watcher_finish() {
    w.ending = true;
    pid_t group = w.saver.group;
    if (!group_runs(group)) return;
    kill(-group, SIGTERM);
    if (wait_group_gone(group, grace_usec)) return;
    warn("the saver outlived SIGTERM: SIGKILL to its process group");
    kill(-group, SIGKILL);
    wait_group_gone(group, grace_usec);
}

void give_up(const std::string& what, int error) {
    warn("cannot " + what + ": " + strerror(-error));
    watcher_finish();
    exit(EXIT_SETUP);
}

void holds_changed() {
    if (held()) return;
    // A hold that goes while the user is idle counts as the last input.
    w.ready_at = now_usec() + w.options.timeout * 1000000ULL;
    w.start_timer = sd_event_source_disable_unref(w.start_timer);
    consider();
}

void session_locked() {
    if (w.saver.pid) note("the session is locked: ending the saver");
    end_saver();
}

void lock_granted() {
    note("locked through logind");
    end_group(&w.saver);
}

void end_saver() {
    end_group(&w.saver);
}

bool saver_running() {
    return w.saver.pid != 0;
}

void note(const std::string& line) {
    if (w.options.verbose) warn(line);
}

void warn(const std::string& line) {
    fprintf(stderr, "orrelune-idle: %s\n", line.c_str());
}
