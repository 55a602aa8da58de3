// The layer's registry: HKEY_CURRENT_USER as a per-user .reg text file.
// Each test points XDG_CONFIG_HOME at a fresh directory and looks at the
// file as a user would.
#include <windows.h>
#include <layer_test.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "scratch.h"

namespace {

const char kKey[] = "Software\\Orrelune";
const char kHeader[] = "Windows Registry Editor Version 5.00\n\n";

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        // The null driver: a message box the layer showed would be counted,
        // and a failed save must show none (telling the user is the
        // program's part).
        layer_use_null_driver();
        layer_reset();
        scratch = Scratch("registry-test");
        config = scratch.dir;
        dir = config + "/orrelune";
        path = dir + "/registry.reg";
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    }
    void TearDown() override { layer_set_registry_write_hook(nullptr); }

    // As an editor saves: a new file renamed over the old one.
    void write_file(const std::string& text) {
        mkdir(dir.c_str(), 0700);
        std::ofstream(path + ".new", std::ios::binary) << text;
        ASSERT_EQ(rename((path + ".new").c_str(), path.c_str()), 0);
    }
    std::string file_text() {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> dir_entries() { return dir_entries(dir); }
    std::vector<std::string> dir_entries(const std::string& folder) {
        std::vector<std::string> names;
        if (DIR* d = opendir(folder.c_str())) {
            while (dirent* e = readdir(d))
                if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
            closedir(d);
        }
        return names;
    }

    // The program's way in: create-or-open with KEY_ALL_ACCESS.
    HKEY create_key(DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        char cls[] = "NONE";
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, cls, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }
    // The program's read: at most 4 bytes into a number that starts at 0.
    LONG read_number(HKEY key, const char* name, LONG* number, DWORD* size) {
        *number = 0;
        *size = 4;
        return RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(number), size);
    }
    LONG read_number(const char* name, LONG* number) {
        HKEY key = create_key();
        DWORD size;
        LONG result = read_number(key, name, number, &size);
        RegCloseKey(key);
        return result;
    }
    LONG set_number(HKEY key, const char* name, LONG number) {
        return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    }
    // A value set and flushed: the write reaches the file, or fails.
    LONG write_number(HKEY key, const char* name, LONG number) {
        LONG result = set_number(key, name, number);
        return result == ERROR_SUCCESS ? RegFlushKey(key) : result;
    }

    Scratch scratch;
    std::string config, dir, path;
};

TEST_F(Registry, NoFileThenCreateSetAndReadBack) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, kKey, &key), ERROR_FILE_NOT_FOUND);

    // Creating the key makes it for this process only: nothing is written
    // until a value is, so that a run that only reads leaves no file.
    DWORD disposition = 0;
    key = create_key(&disposition);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    HKEY again = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, kKey, &again), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);
    LONG number;
    DWORD size;
    EXPECT_EQ(read_number(key, "resolution", &number, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
    EXPECT_EQ(access(config.c_str(), F_OK), 0);
    EXPECT_EQ(access(dir.c_str(), F_OK), -1);

    // Values set through a key are seen at once by the process and reach the
    // file together when the key is flushed or closed.
    EXPECT_EQ(set_number(key, "resolution", 2000), ERROR_SUCCESS);
    EXPECT_EQ(set_number(key, "color", 1000), ERROR_SUCCESS);
    EXPECT_EQ(read_number(key, "color", &number, &size), ERROR_SUCCESS);
    EXPECT_EQ(number, 1000);
    EXPECT_EQ(access(dir.c_str(), F_OK), -1);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(file_text(), std::string(kHeader) +
                               "[HKEY_CURRENT_USER\\Software\\Orrelune]\n"
                               "\"resolution\"=dword:000007d0\n"
                               "\"color\"=dword:000003e8\n");
    struct stat st;
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Keys and names match without regard to case; parents exist implicitly.
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "SOFTWARE\\orrelune", &key), ERROR_SUCCESS);
    EXPECT_EQ(read_number(key, "Resolution", &number, &size), ERROR_SUCCESS);
    EXPECT_EQ(number, 2000);
    EXPECT_EQ(size, 4u);
    HKEY parent;
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software", &parent), ERROR_SUCCESS);
    RegCloseKey(parent);

    // Every query reads the file afresh: another run's change is seen.
    write_file(std::string(kHeader) + "[HKEY_CURRENT_USER\\Software\\Orrelune]\n\"resolution\"=dword:000007d3\n");
    EXPECT_EQ(read_number(key, "resolution", &number, &size), ERROR_SUCCESS);
    EXPECT_EQ(number, 2003);
    RegCloseKey(key);

    disposition = 0;
    RegCloseKey(create_key(&disposition));
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
}

// What the program's 4-byte read gets from each kind of stored value.
TEST_F(Registry, FourByteReadOfEachStoredForm) {
    struct Case {
        const char* line;
        LONG result;
        LONG number;
        DWORD size;
    };
    const Case cases[] = {
        {"\"resolution\"=dword:000007d0", ERROR_SUCCESS, 2000, 4},
        {"\"resolution\"=dword:00000bb8", ERROR_SUCCESS, 3000, 4},  // out of range: as stored
        {"\"resolution\"=dword:7d0", ERROR_SUCCESS, 2000, 4},
        // The type is not looked at: a short string fits, with its NUL.
        {"\"resolution\"=\"ab\"", ERROR_SUCCESS, 'a' | 'b' << 8, 3},
        // Too long: nothing is filled in, only the size needed comes back.
        {"\"resolution\"=\"2000\"", ERROR_MORE_DATA, 0, 5},
        {"\"resolution\"=hex(b):d0,07,00,00,00,00,00,00", ERROR_MORE_DATA, 0, 8},
        // Shorter than 4 bytes: the rest of the number stays 0.
        {"\"resolution\"=hex(4):d0,07", ERROR_SUCCESS, 2000, 2},
        {"\"resolution\"=hex:", ERROR_SUCCESS, 0, 0},
        {"\"resolution\"=hex:d0,07,\\\n  00,00", ERROR_SUCCESS, 2000, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        write_file(std::string(kHeader) + "[HKEY_CURRENT_USER\\Software\\Orrelune]\n" + c.line + "\n");
        HKEY key = create_key();
        LONG number;
        DWORD size;
        EXPECT_EQ(read_number(key, "resolution", &number, &size), c.result);
        EXPECT_EQ(number, c.number);
        EXPECT_EQ(size, c.size);
        // With no buffer, only the size.
        size = 0;
        EXPECT_EQ(RegQueryValueExA(key, "resolution", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
        EXPECT_EQ(size, c.size);
        RegCloseKey(key);
    }
}

// ASCII text as a Windows export writes it: UTF-16LE after a byte-order mark.
std::string utf16(const std::string& ascii) {
    std::string wide = "\xFF\xFE";
    for (char c : ascii) wide += std::string{c, '\0'};
    return wide;
}

// What can't be read reads as absent; everything else in the file still reads.
TEST_F(Registry, DamagedFileReadsWhatItCan) {
    struct Case {
        const char* name;
        std::string text;
        bool resolution_present;  // 2000 when present
        bool color_present;       // 1001 when present
    };
    const std::string section = "[HKEY_CURRENT_USER\\Software\\Orrelune]\n";
    const std::string color = "\"color\"=dword:000003e9\n";
    const Case cases[] = {
        {"garbage lines",
         std::string(kHeader) + section + "this is not a line\n\"resolution\"=dword:000007d0\n" +
             "[broken\n=dword:1\n" + color,
         true, true},
        {"damaged data", std::string(kHeader) + section + color + "\"resolution\"=dword:00007d0x\n", false, true},
        {"truncated string", std::string(kHeader) + section + color + "\"resolution\"=\"20", false, true},
        {"truncated continuation", std::string(kHeader) + section + color + "\"resolution\"=hex(4):d0,\\\n", false,
         true},
        {"binary junk",
         std::string("\x00\xff\xfe\x01junk\n", 9) + section + std::string("\x80\x00\n", 3) +
             "\"resolution\"=dword:000007d0\n" + color,
         true, true},
        {"later damaged line wins",
         std::string(kHeader) + section + "\"resolution\"=dword:000007d0\n" + color + "\"resolution\"=dword:\n", false,
         true},
        {"later good line wins",
         std::string(kHeader) + section + "\"resolution\"=dword:000003e8\n" + color + "\"resolution\"=dword:000007d0\n",
         true, true},
        {"CRLF lines",
         "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orrelune]\r\n"
         "\"resolution\"=dword:000007d0\r\n\"color\"=dword:000003e9\r\n",
         true, true},
        {"UTF-16 with a stray last byte",
         utf16(std::string(kHeader) + section + "\"resolution\"=dword:000007d0\n" + color) + "\n", true, true},
        {"other roots are not ours",
         std::string(kHeader) + "[HKEY_LOCAL_MACHINE\\Software\\Orrelune]\n" + "\"resolution\"=dword:000007d0\n" +
             section + color,
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(c.text);
        LONG number;
        EXPECT_EQ(read_number("resolution", &number), c.resolution_present ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(number, c.resolution_present ? 2000 : 0);
        EXPECT_EQ(read_number("color", &number), c.color_present ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(number, c.color_present ? 1001 : 0);
        EXPECT_EQ(file_text(), c.text);  // reading never rewrites
    }
}

// A write changes only the lines of what it writes; every other byte stays.
TEST_F(Registry, WriteKeepsEverythingElse) {
    struct Case {
        const char* name;
        std::string before;
        std::string after;
    };
    const std::string user_lines =
        "; my notes\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\n"
        "\"keep\"=\"me\"\n"
        "what is this?\n";
    const Case cases[] = {
        {"values replaced in place",
         std::string(kHeader) + user_lines + "\n[HKEY_CURRENT_USER\\Software\\Orrelune]\n; chosen by hand\n" +
             "\"color\"=dword:000003e8\n\"resolution\"=dword:000007d0\n\"extra\"=hex:01\n\n; end\n",
         std::string(kHeader) + user_lines + "\n[HKEY_CURRENT_USER\\Software\\Orrelune]\n; chosen by hand\n" +
             "\"color\"=dword:000003e9\n\"resolution\"=dword:000007d1\n\"extra\"=hex:01\n\n; end\n"},
        {"damaged line kept, new line after it",
         std::string(kHeader) + "[HKEY_CURRENT_USER\\Software\\Orrelune]\n\"resolution\"=dword:zz\n; x\n",
         std::string(kHeader) + "[HKEY_CURRENT_USER\\Software\\Orrelune]\n\"resolution\"=dword:zz\n" +
             "\"resolution\"=dword:000007d1\n\"color\"=dword:000003e9\n; x\n"},
        {"section added at the end", std::string(kHeader) + user_lines,
         std::string(kHeader) + user_lines + "\n[HKEY_CURRENT_USER\\Software\\Orrelune]\n" +
             "\"resolution\"=dword:000007d1\n\"color\"=dword:000003e9\n"},
        {"no final newline, CRLF style",
         "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orrelune]\r\n\"a\"=\"b\"",
         "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orrelune]\r\n\"a\"=\"b\"\r\n"
         "\"resolution\"=dword:000007d1\r\n\"color\"=dword:000003e9\r\n"},
        {"UTF-16 export stays UTF-16",
         utf16("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orrelune]\r\n"
               "\"color\"=dword:00000000\r\n"),
         utf16("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orrelune]\r\n"
               "\"color\"=dword:000003e9\r\n\"resolution\"=dword:000007d1\r\n")},
        {"UTF-16 export with a stray last byte stays UTF-16, the byte dropped",
         utf16("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orrelune]\r\n"
               "\"color\"=dword:00000000\r\n") +
             "\r",
         utf16("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orrelune]\r\n"
               "\"color\"=dword:000003e9\r\n\"resolution\"=dword:000007d1\r\n")},
        {"a lone surrogate in UTF-16 reads as U+FFFD",
         utf16("Windows Registry Editor Version 5.00\r\n; ") + std::string("\x00\xD8", 2) +
             utf16("\r\n[HKEY_CURRENT_USER\\Software\\Orrelune]\r\n").substr(2),
         utf16("Windows Registry Editor Version 5.00\r\n; ") + std::string("\xFD\xFF", 2) +
             utf16("\r\n[HKEY_CURRENT_USER\\Software\\Orrelune]\r\n"
                   "\"resolution\"=dword:000007d1\r\n\"color\"=dword:000003e9\r\n")
                 .substr(2)},
        {"binary junk kept", std::string("\x00\xff\n", 3) + "[HKEY_CURRENT_USER\\Software\\Orrelune]\n",
         std::string("\x00\xff\n", 3) + "[HKEY_CURRENT_USER\\Software\\Orrelune]\n" +
             "\"resolution\"=dword:000007d1\n\"color\"=dword:000003e9\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(c.before);
        HKEY key = create_key();
        EXPECT_EQ(write_number(key, "resolution", 2001), ERROR_SUCCESS);
        EXPECT_EQ(write_number(key, "color", 1001), ERROR_SUCCESS);
        RegCloseKey(key);
        EXPECT_EQ(file_text(), c.after);
    }
}

// How values that aren't plain numbers look in the file, and that each reads
// back as written.
TEST_F(Registry, ValueFormsRoundTrip) {
    struct Case {
        const char* name;  // nullptr: the default value
        DWORD type;
        std::string data;
        std::string line;
    };
    const Case cases[] = {
        {"s", REG_SZ, std::string("a \"q\" \\ b\0", 10), "\"s\"=\"a \\\"q\\\" \\\\ b\""},
        {"no nul", REG_SZ, "abc", "\"no nul\"=hex(1):61,62,63"},
        {"tab", REG_SZ, std::string("a\tb\0", 4), "\"tab\"=hex(1):61,09,62,00"},
        {"bin", REG_BINARY, "\x01\xfe", "\"bin\"=hex:01,fe"},
        {"empty", REG_BINARY, "", "\"empty\"=hex:"},
        {"q", REG_QWORD, std::string("\xd0\x07\0\0\0\0\0\0", 8), "\"q\"=hex(b):d0,07,00,00,00,00,00,00"},
        {"short dword", REG_DWORD, "\xd0\x07", "\"short dword\"=hex(4):d0,07"},
        {nullptr, REG_SZ, std::string("default\0", 8), "@=\"default\""},
        {"long", REG_BINARY, std::string(30, '\x11'),
         "\"long\"=hex:11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,\\\n"
         "  11,11,11,11,11,11,11,11"},
    };
    HKEY key = create_key();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_EQ(
            RegSetValueExA(key, c.name, 0, c.type, reinterpret_cast<const BYTE*>(c.data.data()), DWORD(c.data.size())),
            ERROR_SUCCESS);
        ASSERT_EQ(RegFlushKey(key), ERROR_SUCCESS);
        EXPECT_NE(file_text().find("\n" + c.line + "\n"), std::string::npos) << file_text();
        BYTE buffer[64] = {};
        DWORD type = 0, size = sizeof buffer;
        ASSERT_EQ(RegQueryValueExA(key, c.name ? c.name : "", nullptr, &type, buffer, &size), ERROR_SUCCESS);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), c.data);
    }
    EXPECT_EQ(RegDeleteValueA(key, "bin"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "bin"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegFlushKey(key), ERROR_SUCCESS);
    EXPECT_EQ(file_text().find("\"bin\""), std::string::npos);
    RegCloseKey(key);
}

bool fail_before_rename(const char*) {
    return false;
}
bool crash_before_rename(const char*) {
    _exit(3);
}

// A write that stops before its rename leaves the old file as it was, and
// its temporary file, which the next write takes away. Nothing else beside
// the file goes, whatever its name: files of the user's that look like
// temporary ones stay, in the settings folder and in a linked file's.
TEST_F(Registry, InterruptedWriteLeavesOldFileAndTheNextTakesOnlyItsLeftover) {
    const std::string before =
        std::string(kHeader) + "; mine\n[HKEY_CURRENT_USER\\Software\\Orrelune]\n" + "\"resolution\"=dword:000007d0\n";
    const std::vector<std::string> users_files = {".registry.reg.backup", ".registry.reg.2024-1",
                                                  ".registry.reg.Ab3xYz"};
    for (bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "a linked file" : "the file itself");
        ASSERT_EQ(system(("rm -rf '" + config + "'/* && mkdir -p '" + dir + "'").c_str()), 0);
        const std::string folder = linked ? config + "/dotfiles" : dir;
        if (linked) {
            ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
            ASSERT_EQ(symlink("../dotfiles/registry.reg", path.c_str()), 0);
        }
        std::ofstream(folder + "/registry.reg", std::ios::binary) << before;
        for (const std::string& where : {dir, folder})
            for (const std::string& name : users_files) std::ofstream(where + "/" + name) << "mine\n";
        // What the folder holds besides the file, its lock and the user's files.
        auto others = [&] {
            std::vector<std::string> found;
            for (const std::string& name : dir_entries(folder))
                if (name != "registry.reg" && name != ".registry.reg.lock" &&
                    std::find(users_files.begin(), users_files.end(), name) == users_files.end())
                    found.push_back(name);
            return found;
        };
        layer_reset();
        HKEY key = create_key();

        EXPECT_EXIT(
            {
                layer_set_registry_write_hook(crash_before_rename);
                write_number(key, "resolution", 2005);
            },
            ::testing::ExitedWithCode(3), "");
        EXPECT_EQ(file_text(), before);
        LONG number;
        DWORD size;
        EXPECT_EQ(read_number(key, "resolution", &number, &size), ERROR_SUCCESS);
        EXPECT_EQ(number, 2000);
        ASSERT_EQ(others().size(), 1u);
        EXPECT_EQ(others()[0].rfind(".registry.reg.", 0), 0u) << others()[0];

        // A write that fails there says so and takes its own temporary file
        // away, and the one left before.
        layer_set_registry_write_hook(fail_before_rename);
        EXPECT_NE(write_number(key, "resolution", 2005), ERROR_SUCCESS);
        EXPECT_EQ(file_text(), before);
        EXPECT_EQ(others(), std::vector<std::string>());
        layer_set_registry_write_hook(nullptr);
        EXPECT_EQ(write_number(key, "resolution", 2005), ERROR_SUCCESS);
        EXPECT_EQ(read_number(key, "resolution", &number, &size), ERROR_SUCCESS);
        EXPECT_EQ(number, 2005);
        EXPECT_EQ(others(), std::vector<std::string>());
        RegCloseKey(key);

        for (const std::string& where : {dir, folder})
            for (const std::string& name : users_files) {
                std::ifstream kept(where + "/" + name);
                std::string text;
                EXPECT_TRUE(std::getline(kept, text) && text == "mine") << where << "/" << name;
            }
    }
}

// What may stand where the file goes. Only a regular file, or a link to
// one, is read, and nothing else is opened (a named pipe would block the
// read for ever). A link stays a link, and a write goes to its target, made
// when missing. Anything else reads as empty and stays as it was: a write
// fails with an error code for the caller to tell, and the reason goes to
// stderr with the file's name; the layer itself shows nothing.
TEST_F(Registry, WhatStandsInTheFilesPlace) {
    const std::string stored =
        std::string(kHeader) + "[HKEY_CURRENT_USER\\Software\\Orrelune]\n\"resolution\"=dword:000007d0\n";
    struct Case {
        const char* name;
        std::function<void()> make;
        bool reads_stored;  // else absent
        LONG written;       // what the write returns
        std::string where;  // success: where the text lands, below the config directory; else the reason
    };
    const char not_regular[] = "it is not a regular file";
    auto link_to = [&](const std::string& target) { ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0); };
    auto stored_at = [&](const std::string& where) {
        ASSERT_EQ(system(("mkdir -p \"$(dirname '" + config + "/" + where + "')\"").c_str()), 0);
        std::ofstream(config + "/" + where, std::ios::binary) << stored;
    };
    const Case cases[] = {
        {"a regular file", [&] { stored_at("orrelune/registry.reg"); }, true, ERROR_SUCCESS, "orrelune/registry.reg"},
        {"a link to a file",
         [&] {
             stored_at("dotfiles/registry.reg");
             link_to("../dotfiles/registry.reg");
         },
         true, ERROR_SUCCESS, "dotfiles/registry.reg"},
        {"a dangling link, its directory missing too", [&] { link_to(config + "/dotfiles/new/registry.reg"); }, false,
         ERROR_SUCCESS, "dotfiles/new/registry.reg"},
        {"a link to a dangling link",
         [&] {
             ASSERT_EQ(symlink("second.reg", (dir + "/middle.reg").c_str()), 0);
             link_to("middle.reg");
         },
         false, ERROR_SUCCESS, "orrelune/second.reg"},
        {"a link to itself", [&] { link_to("registry.reg"); }, false, ERROR_CANT_RESOLVE_FILENAME,
         "Too many levels of symbolic links"},
        {"a directory", [&] { ASSERT_EQ(mkdir(path.c_str(), 0700), 0); }, false, ERROR_ACCESS_DENIED, not_regular},
        {"a named pipe", [&] { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }, false, ERROR_ACCESS_DENIED, not_regular},
        {"a link to a named pipe",
         [&] {
             ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0600), 0);
             link_to("pipe");
         },
         false, ERROR_ACCESS_DENIED, not_regular},
    };
    // Should a read block after all, the test ends here instead of hanging.
    alarm(60);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(system(("rm -rf '" + config + "'/* && mkdir -p '" + dir + "'").c_str()), 0);
        c.make();
        struct stat before;
        ASSERT_EQ(lstat(path.c_str(), &before), 0);
        layer_reset();

        LONG number;
        EXPECT_EQ(read_number("resolution", &number), c.reads_stored ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
        HKEY key = create_key();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(write_number(key, "color", 1001), c.written);
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        std::string said = ::testing::internal::GetCapturedStderr();

        struct stat after;
        ASSERT_EQ(lstat(path.c_str(), &after), 0);
        // A regular file is replaced; anything else stays as it was: a link
        // the same link, a directory or a pipe untouched.
        EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
        if (!S_ISREG(before.st_mode)) {
            EXPECT_EQ(after.st_ino, before.st_ino);
        }
        EXPECT_EQ(layer_message_box_count(), 0);
        if (c.written == ERROR_SUCCESS) {
            EXPECT_EQ(read_number("color", &number), ERROR_SUCCESS);
            EXPECT_EQ(number, 1001);
            std::ifstream in(config + "/" + c.where, std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            EXPECT_NE(text.str().find("\"color\"=dword:000003e9\n"), std::string::npos) << text.str();
            EXPECT_EQ(said, "");
        } else {
            // The change is gone with the failed write: the file's values rule.
            EXPECT_EQ(read_number("color", &number), ERROR_FILE_NOT_FOUND);
            EXPECT_NE(said.find(path), std::string::npos) << said;
            EXPECT_NE(said.find(c.where), std::string::npos) << said;
        }
    }
    alarm(0);
}

TEST_F(Registry, HandlesAndArguments) {
    HKEY key = create_key();
    // Handles are small tokens, never pointers.
    EXPECT_LT(reinterpret_cast<uintptr_t>(key), 0x10000u);
    EXPECT_EQ(write_number(key, "resolution", 2000), ERROR_SUCCESS);

    // Win32 quirk: RegOpenKeyA with no subkey gives back the same handle.
    HKEY same = nullptr;
    EXPECT_EQ(RegOpenKeyA(key, "", &same), ERROR_SUCCESS);
    EXPECT_EQ(same, key);

    LONG number;
    DWORD size = 4, type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "resolution", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(RegQueryValueExA(key, "resolution", nullptr, nullptr, reinterpret_cast<BYTE*>(&number), nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);

    HKEY read_only = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &read_only), ERROR_SUCCESS);
    EXPECT_EQ(read_number(read_only, "resolution", &number, &size), ERROR_SUCCESS);
    EXPECT_EQ(write_number(read_only, "resolution", 2001), ERROR_ACCESS_DENIED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExA(read_only, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
              ERROR_ACCESS_DENIED);
    RegCloseKey(read_only);

    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(read_number(key, "resolution", &number, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "\\Software", &key), ERROR_BAD_PATHNAME);
}

// Text in a wide form the store reads but does not write: its values read,
// and a write is refused with the file kept byte for byte, rather than UTF-8
// lines mixed into it.
TEST_F(Registry, WideFormsReadButNotWrittenBack) {
    const std::string text = std::string(kHeader) + "[HKEY_CURRENT_USER\\Software\\Orrelune]\r\n" +
                             "\"resolution\"=dword:000007d0\r\n; \xC3\xA9t\xC3\xA9 \xF0\x9F\x8C\x8D\r\n";
    struct Case {
        const char* encoding;
        std::string mark;
    };
    const Case cases[] = {
        {"UTF-16BE", "\xFE\xFF"},
        {"UTF-32LE", std::string("\xFF\xFE\x00\x00", 4)},
        {"UTF-32BE", std::string("\x00\x00\xFE\xFF", 4)},
        // Without the mark: known by the NULs around the first character.
        {"UTF-16LE", ""},
        {"UTF-16BE", ""},
        {"UTF-32LE", ""},
        {"UTF-32BE", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.encoding) + (c.mark.empty() ? " without a mark" : ""));
        iconv_t cd = iconv_open(c.encoding, "UTF-8");
        ASSERT_NE(cd, iconv_t(-1));
        std::string wide(text.size() * 4, '\0');
        char* in = const_cast<char*>(text.data());
        char* out = &wide[0];
        size_t in_left = text.size(), out_left = wide.size();
        ASSERT_NE(iconv(cd, &in, &in_left, &out, &out_left), size_t(-1));
        iconv_close(cd);
        wide.resize(wide.size() - out_left);
        // A copy cut inside its last character still reads.
        const std::string stored = c.mark + wide + "\x01";
        write_file(stored);
        layer_reset();

        LONG number;
        EXPECT_EQ(read_number("resolution", &number), ERROR_SUCCESS);
        EXPECT_EQ(number, 2000);
        HKEY key = create_key();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(write_number(key, "color", 1001), ERROR_UNSUPPORTED_TYPE);
        std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(c.encoding), std::string::npos) << said;
        RegCloseKey(key);
        EXPECT_EQ(file_text(), stored);
        EXPECT_EQ(read_number("color", &number), ERROR_FILE_NOT_FOUND);
    }
}

// A file larger than settings ever are (16 MB) is not read: one line says
// so, the values read as absent, and a save is refused with the file left
// byte for byte. One at the bound is still read.
TEST_F(Registry, AFileAboveTheBoundIsNeitherReadNorWritten) {
    const size_t bound = 16 * 1024 * 1024;
    const std::string values =
        std::string(kHeader) + "[HKEY_CURRENT_USER\\Software\\Orrelune]\n" + "\"resolution\"=dword:000007d0\n; ";
    for (size_t size : {bound, bound + 1}) {
        SCOPED_TRACE(size);
        const bool read = size <= bound;
        const std::string stored = values + std::string(size - values.size() - 1, 'x') + "\n";
        write_file(stored);
        layer_reset();
        ::testing::internal::CaptureStderr();
        LONG number;
        EXPECT_EQ(read_number("resolution", &number), read ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(read_number("resolution", &number), read ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
        std::string said = ::testing::internal::GetCapturedStderr();
        if (read) {
            EXPECT_EQ(said, "");
        } else {
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
            EXPECT_NE(said.find(path + " are not read: it is larger than 16 MB"), std::string::npos) << said;
        }
        HKEY key = create_key();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(write_number(key, "color", 1001), read ? ERROR_SUCCESS : ERROR_FILE_TOO_LARGE);
        ::testing::internal::GetCapturedStderr();
        RegCloseKey(key);
        if (!read) {
            EXPECT_TRUE(file_text() == stored) << "the file changed";
        }
    }
}

// A writer that can't get the lock (held here by the test) gives up after its
// wait with an error, rather than writing beside the holder. That writers
// wait for each other is what the many-writers test shows.
TEST_F(Registry, WriterWaitsForTheLockThenGivesUp) {
    write_file(std::string(kHeader) + "[HKEY_CURRENT_USER\\Software\\Orrelune]\n\"resolution\"=dword:000007d0\n");
    const std::string before = file_text();
    int holder = open((dir + "/.registry.reg.lock").c_str(), O_CREAT | O_RDWR, 0600);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    layer_set_registry_lock_wait(300);
    HKEY key = create_key();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(write_number(key, "resolution", 2001), ERROR_LOCK_VIOLATION);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(file_text(), before);

    // Released: the next write goes through.
    layer_set_registry_lock_wait(30000);
    close(holder);
    EXPECT_EQ(write_number(key, "resolution", 2001), ERROR_SUCCESS);
    RegCloseKey(key);
    LONG number;
    EXPECT_EQ(read_number("resolution", &number), ERROR_SUCCESS);
    EXPECT_EQ(number, 2001);
}

// Writers in several processes at once, each in a tight loop for a few
// seconds: every value of its own, one that all write, and two that all
// write together. No write may fail, and at the end the file holds each
// writer's last value of its own, the last writer's last values of the
// shared ones (the two of one write, never one of each), and nothing else
// in the folder but the file and its lock.
TEST_F(Registry, ManyWritersLoseNothing) {
    for (int writers : {2, 4}) {
        SCOPED_TRACE(writers);
        ASSERT_EQ(system(("rm -rf '" + dir + "'").c_str()), 0);
        layer_reset();
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        const time_t until = now.tv_sec + 3;
        std::vector<pid_t> children;
        std::vector<int> pipes;
        for (int i = 0; i < writers; ++i) {
            int ends[2];
            ASSERT_EQ(pipe(ends), 0);
            pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                alarm(120);  // a write that hangs ends the child, and fails the test
                std::string own = "own " + std::to_string(i);
                LONG last = 0;
                do {
                    ++last;
                    HKEY key = create_key();
                    LONG shared = i * 1000000 + last;
                    for (LONG result :
                         {set_number(key, own.c_str(), last), set_number(key, "shared", shared),
                          set_number(key, "shared too", shared), set_number(key, "same", 7), RegCloseKey(key)}) {
                        if (result != ERROR_SUCCESS) {
                            fprintf(stderr, "writer %d, write %ld: error %ld\n", i, long(last), long(result));
                            _exit(1);
                        }
                    }
                    clock_gettime(CLOCK_MONOTONIC, &now);
                } while (now.tv_sec < until);
                _exit(write(ends[1], &last, sizeof last) == sizeof last ? 0 : 1);
            }
            close(ends[1]);
            children.push_back(child);
            pipes.push_back(ends[0]);
        }
        std::vector<LONG> lasts;
        LONG writes = 0;
        for (int i = 0; i < writers; ++i) {
            int status = 0;
            ASSERT_EQ(waitpid(children[size_t(i)], &status, 0), children[size_t(i)]);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer " << i << ": " << status;
            LONG last = 0;
            EXPECT_EQ(read(pipes[size_t(i)], &last, sizeof last), ssize_t(sizeof last));
            close(pipes[size_t(i)]);
            lasts.push_back(last);
            writes += last;
        }

        layer_reset();
        int lost = 0;
        LONG number;
        for (int i = 0; i < writers; ++i) {
            std::string own = "own " + std::to_string(i);
            EXPECT_EQ(read_number(own.c_str(), &number), ERROR_SUCCESS);
            lost += number != lasts[size_t(i)];
            EXPECT_EQ(number, lasts[size_t(i)]) << own;
        }
        LONG shared = 0, shared_too = 0;
        EXPECT_EQ(read_number("shared", &shared), ERROR_SUCCESS);
        EXPECT_EQ(read_number("shared too", &shared_too), ERROR_SUCCESS);
        EXPECT_EQ(shared, shared_too);
        int writer = shared / 1000000;
        ASSERT_TRUE(writer >= 0 && writer < writers) << shared;
        EXPECT_EQ(shared % 1000000, lasts[size_t(writer)]);
        EXPECT_EQ(read_number("same", &number), ERROR_SUCCESS);
        EXPECT_EQ(number, 7);
        std::vector<std::string> entries = dir_entries();
        std::sort(entries.begin(), entries.end());
        EXPECT_EQ(entries, (std::vector<std::string>{".registry.reg.lock", "registry.reg"}));
        printf("%d writers, %ld writes, %d values lost\n", writers, long(writes), lost);
    }
}

}  // namespace
