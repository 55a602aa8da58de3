// The run: at most one saver, started once per idle period and ended when
// the user comes back, and the lock that may follow it.
#include "watcher.h"

#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>

#include <vector>

#include "holds.h"

extern char** environ;

namespace {

struct Child {
    pid_t pid = 0;
    sd_event_source* source = nullptr;
};

struct Watcher {
    sd_event* event = nullptr;
    Options options;
    bool idle = false;  // the source says the user is idle
    bool ran = false;   // a saver was started in this idle period
    Child saver;
    Child locker;           // --lock-command while it runs: the session is locked
    uint64_t ready_at = 0;  // no start before this moment (a hold just went)
    sd_event_source* start_timer = nullptr;
    sd_event_source* lock_timer = nullptr;
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

// Starts argv in a process group of its own, so that SIGTERM reaches what a
// wrapper script started too, with the signals the loop blocks unblocked.
pid_t spawn(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& word : argv) args.push_back(const_cast<char*>(word.c_str()));
    args.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, reset;
    sigemptyset(&none);
    sigemptyset(&reset);
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&reset, sig);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &reset);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    pid_t pid = 0;
    int error = posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (error) {
        warn("cannot run '" + describe(argv) + "': " + strerror(error));
        return 0;
    }
    return pid;
}

void end_child(Child* child) {
    if (child->pid) kill(-child->pid, SIGTERM);
}

void release_child(Child* child) {
    child->source = sd_event_source_unref(child->source);
    child->pid = 0;
}

std::string exit_text(const siginfo_t* info) {
    if (info->si_code == CLD_EXITED) return "exited with " + std::to_string(info->si_status);
    return std::string("ended by ") + strsignal(info->si_status);
}

void consider();

int on_saver_exit(sd_event_source*, const siginfo_t* info, void*) {
    note("the saver " + exit_text(info));
    release_child(&w.saver);
    w.lock_timer = sd_event_source_disable_unref(w.lock_timer);
    consider();  // a new idle period may have begun while it ended
    return 0;
}

int on_locker_exit(sd_event_source*, const siginfo_t* info, void*) {
    note("the lock command " + exit_text(info));
    release_child(&w.locker);
    holds_changed();
    return 0;
}

void lock() {
    if (!w.options.lock_command.empty()) {
        note("locking: " + describe(w.options.lock_command));
        pid_t pid = spawn(w.options.lock_command);
        if (!pid) return;
        w.locker.pid = pid;
        sd_event_add_child(w.event, &w.locker.source, pid, WEXITED, on_locker_exit, nullptr);
    } else if (!lock_session()) {
        warn("cannot lock the session: logind does not answer (--lock-command names a locker)");
    }
}

int on_lock_timer(sd_event_source*, uint64_t, void*) {
    w.lock_timer = sd_event_source_disable_unref(w.lock_timer);
    if (!w.saver.pid) return 0;
    note("locking after " + std::to_string(w.options.lock_after) + " s of saver");
    end_child(&w.saver);
    lock();
    return 0;
}

void start_saver() {
    w.ran = true;  // once per idle period, whether or not it starts
    note("idle: starting " + describe(w.options.command));
    pid_t pid = spawn(w.options.command);
    if (!pid) return;
    w.saver.pid = pid;
    sd_event_add_child(w.event, &w.saver.source, pid, WEXITED, on_saver_exit, nullptr);
    if (w.options.lock_after)
        sd_event_add_time_relative(w.event, &w.lock_timer, CLOCK_MONOTONIC, w.options.lock_after * 1000000ULL, 0,
                                   on_lock_timer, nullptr);
}

int on_start_timer(sd_event_source*, uint64_t, void*) {
    w.start_timer = sd_event_source_disable_unref(w.start_timer);
    consider();
    return 0;
}

bool held() {
    return w.locker.pid || saver_held();
}

void consider() {
    if (!w.idle || w.ran || w.saver.pid || held()) return;
    if (now_usec() < w.ready_at) {
        if (!w.start_timer)
            sd_event_add_time(w.event, &w.start_timer, CLOCK_MONOTONIC, w.ready_at, 0, on_start_timer, nullptr);
        return;
    }
    start_saver();
}

}  // namespace

void watcher_init(sd_event* event, const Options& options) {
    w.event = event;
    w.options = options;
}

void idle_began() {
    if (w.idle) return;
    w.idle = true;
    if (held()) note("idle, but held off");
    consider();
}

void user_returned() {
    if (!w.idle) return;
    note("the user is back");
    w.idle = false;
    w.ran = false;
    w.start_timer = sd_event_source_disable_unref(w.start_timer);
    end_saver();
}

void session_lost(const std::string& why) {
    warn(why);
    end_saver();
    sd_event_exit(w.event, EXIT_NO_SESSION);
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

void end_saver() {
    end_child(&w.saver);
    w.lock_timer = sd_event_source_disable_unref(w.lock_timer);
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
