// The settings store as the saver and the dialog read it: whatever the
// stored file holds, each value reads as a number, 0 when it can't be read.
#include "host_fixture.h"

#include <stdlib.h>

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

TEST_F(SettingsStore, NoFileReadsAsNeverConfiguredAndCreatesTheKey) {
    SaverSettings settings = load_saver_settings();
    EXPECT_EQ(settings.resolution_id, 0);
    EXPECT_EQ(settings.colour_id, 0);
    EXPECT_NE(read_registry().find("[HKEY_CURRENT_USER\\Software\\Orrelune]"), std::string::npos);
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
