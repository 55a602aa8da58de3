// The settings store as the saver and the dialog read it: whatever the
// stored file holds, each value reads as a number, 0 when it can't be read.
#include "host_fixture.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "settings/settings_store.h"

namespace {

class SettingsStore : public HostTest {
protected:
    std::string registry_path() const { return std::string(getenv("XDG_CONFIG_HOME")) + "/orrelune/registry.reg"; }

    void write_registry(const std::string& body) {
        std::string dir = std::string(getenv("XDG_CONFIG_HOME")) + "/orrelune";
        ASSERT_EQ(system(("mkdir -p '" + dir + "'").c_str()), 0);
        std::ofstream(registry_path(), std::ios::binary)
            << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orrelune]\r\n"
            << body;
    }

    std::string read_registry() const {
        std::ifstream in(registry_path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

struct StoredCase {
    const char* name;
    const char* body;
    LONG resolution, colour;
};

const StoredCase stored_cases[] = {
    {"both stored", "\"resolution\"=dword:000007d3\r\n\"color\"=dword:000003e9\r\n", 2003, 1001},
    {"ids the dialog never stores", "\"resolution\"=dword:00000001\r\n\"color\"=dword:ffffffff\r\n", 1, -1},
    {"a string is not a number", "\"resolution\"=\"2001\"\r\n\"color\"=dword:000003e8\r\n", 0, 1000},
    {"two bytes fill their own bytes", "\"resolution\"=hex:d1,07\r\n", 2001, 0},
    {"eight bytes are too many", "\"resolution\"=hex(b):d1,07,00,00,00,00,00,00\r\n", 0, 0},
    {"damaged lines read as absent", "\"resolution\"=dword:zz\r\n\x01\x02garbage\r\n\"color\"=dword:000003e8\r\n", 0,
     1000},
};

}  // namespace

// The saver's read opens (makes) the key as the dialog does, but a run that
// only reads leaves nothing on disk.
TEST_F(SettingsStore, NoFileReadsAsNeverConfiguredAndCreatesNothing) {
    SaverSettings settings = load_saver_settings();
    EXPECT_EQ(settings.resolution_id, 0);
    EXPECT_EQ(settings.colour_id, 0);
    EXPECT_NE(access(getenv("XDG_CONFIG_HOME"), F_OK), -1);
    EXPECT_EQ(access((std::string(getenv("XDG_CONFIG_HOME")) + "/orrelune").c_str(), F_OK), -1);
}

TEST_F(SettingsStore, EachStoredFormReadsAsANumberOrAsAbsent) {
    for (const StoredCase& c : stored_cases) {
        SCOPED_TRACE(c.name);
        write_registry(c.body);
        SaverSettings settings = load_saver_settings();
        EXPECT_EQ(settings.resolution_id, c.resolution);
        EXPECT_EQ(settings.colour_id, c.colour);
    }
}

TEST_F(SettingsStore, WritingKeepsWhatTheUserWrote) {
    write_registry("; my notes\r\n\"color\"=dword:000003e8\r\n\"mine\"=\"keep me\"\r\nnot a registry line\r\n");
    HKEY key = open_settings_key();
    ASSERT_NE(key, nullptr);
    write_settings(key, SaverSettings{2005, 1001});
    close_settings_key(key);

    std::string text = read_registry();
    for (const char* kept : {"; my notes\r\n", "\"mine\"=\"keep me\"\r\n", "not a registry line\r\n"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
    SaverSettings settings = load_saver_settings();
    EXPECT_EQ(settings.resolution_id, 2005);
    EXPECT_EQ(settings.colour_id, 1001);
}

// Two configuration dialogs OK'd at once, again and again: each save is both
// values as one change, so the file never holds the resolution of one and
// the colour of the other, neither at the end nor meanwhile, and no save
// fails.
TEST_F(SettingsStore, TwoSavesAtOnceNeverMixTheirValues) {
    const SaverSettings choices[] = {{2001, 1000}, {2006, 1001}};
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const time_t until = now.tv_sec + 3;
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
        children[i] = fork();
        ASSERT_GE(children[i], 0);
        if (children[i] == 0) {
            alarm(120);  // a save that hangs ends the child, and fails the test
            int saves = 0;
            do {
                HKEY key = open_settings_key();
                LONG result = write_settings(key, choices[i]);
                close_settings_key(key);
                if (result != ERROR_SUCCESS) {
                    fprintf(stderr, "save %d failed: %ld\n", saves, long(result));
                    _exit(1);
                }
                ++saves;
                clock_gettime(CLOCK_MONOTONIC, &now);
            } while (now.tv_sec < until);
            _exit(0);
        }
    }
    // Meanwhile the file, read whole as a reader finds it: absent, or the two
    // values of one save.
    std::string lines[2];
    for (int i = 0; i < 2; ++i) {
        char text[64];
        snprintf(text, sizeof text, "\"resolution\"=dword:%08x\n\"color\"=dword:%08x\n",
                 unsigned(choices[i].resolution_id), unsigned(choices[i].colour_id));
        lines[i] = text;
    }
    int reads = 0, mixed = 0;
    do {
        std::string text = read_registry();
        mixed += !text.empty() && text.find(lines[0]) == std::string::npos && text.find(lines[1]) == std::string::npos;
        ++reads;
        clock_gettime(CLOCK_MONOTONIC, &now);
    } while (now.tv_sec < until);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_EQ(mixed, 0) << "of " << reads << " reads";
    SaverSettings last = load_saver_settings();
    EXPECT_TRUE((last.resolution_id == 2001 && last.colour_id == 1000) ||
                (last.resolution_id == 2006 && last.colour_id == 1001))
        << last.resolution_id << " " << last.colour_id;
}
