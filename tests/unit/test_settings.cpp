// The settings file (read, written, partly missing, broken) and the places
// the game reads its data from and writes its own files to.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "game/main_loop.h"
#include "game/program.h"
#include "game/timedemo.h"
#include "input/window.h"
#include "platform/paths.h"
#include "platform/settings.h"

namespace {

std::string make_temp_dir()
{
    char tmpl[] = "/tmp/kvt-settings-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "";
}

void put(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string get(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

bool same(const settings_record& a, const settings_record& b)
{
    for (int i = 0; i < num_setting_fields; ++i)
        if (a.*(setting_fields[i].value) != b.*(setting_fields[i].value))
            return false;
    return true;
}

// A temporary directory as the working directory and as the XDG homes,
// given back (with the window flag the settings set) afterwards; a program
// of its own (no window) for the settings to be applied to.
struct OnDisk : ::testing::Test {
    std::string dir, old_cwd;
    std::unique_ptr<program> p = std::make_unique<program>();
    void SetUp() override
    {
        dir = make_temp_dir();
        ASSERT_FALSE(dir.empty());
        char buf[4096];
        old_cwd = getcwd(buf, sizeof buf) ? buf : ".";
        ASSERT_EQ(chdir(dir.c_str()), 0);
        setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir + "/share").c_str(), 1);
        unsetenv("KELVARIN_DATA");
        do_window = 0;
    }
    void TearDown() override
    {
        EXPECT_EQ(chdir(old_cwd.c_str()), 0);
        std::filesystem::remove_all(dir);
        do_window = 0;
        user_settings = settings_record{};
    }
};

}  // namespace

TEST(SettingsText, EveryValueSurvivesWritingAndReading)
{
    const settings_record changed{0, 0, 1, 35, 0, 250, 1};
    std::string why, ignored;
    settings_record back;
    ASSERT_TRUE(parse_settings(format_settings(changed), back, why, ignored)) << why;
    EXPECT_TRUE(same(back, changed));
    EXPECT_TRUE(ignored.empty());
    // Every key comes with a comment a player can read.
    const std::string text = format_settings(changed);
    for (int i = 0; i < num_setting_fields; ++i)
        EXPECT_NE(text.find(std::string("\n# ") + setting_fields[i].comment + "\n" + setting_fields[i].key + " = "),
                  std::string::npos)
            << setting_fields[i].key;
}

TEST(SettingsText, KeysLeftOutKeepTheirDefaults)
{
    settings_record s;
    std::string why, ignored;
    ASSERT_TRUE(parse_settings("# mine\r\n\n  fog=OFF   # no fog\r\nmouse_sensitivity = 250\nfogg = on\n"
                               "invert_look = on\ninvert_look = off",
                               s, why, ignored))
        << why;
    EXPECT_EQ(s.fog, 0);
    EXPECT_EQ(s.mouse_sensitivity, 250);
    EXPECT_EQ(s.invert_look, 0);  // the last line of a key counts
    EXPECT_EQ(ignored, "fogg");
    settings_record defaults;
    s.fog = defaults.fog;
    s.mouse_sensitivity = defaults.mouse_sensitivity;
    EXPECT_TRUE(same(s, defaults));
}

TEST(SettingsText, ABrokenLineRejectsTheWholeText)
{
    const char* broken[] = {
        "fog off",               // no "="
        "fog = maybe",           // not one of the two words
        "music_volume = 101",    // above the range
        "mouse_sensitivity = 9", // below the range
        "music_volume = 50x",
        "music_volume = ",
        "effects_volume = 99999999999999",
    };
    for (const char* line : broken) {
        settings_record s;
        s.fog = 0;  // a value the text must not change when it is refused
        std::string why, ignored;
        EXPECT_FALSE(parse_settings(std::string("sound = on\n") + line + "\n", s, why, ignored)) << line;
        EXPECT_NE(why.find("line 2"), std::string::npos) << why;
        EXPECT_EQ(s.sound, 0) << line;
        EXPECT_EQ(s.fog, 0) << line;
    }
    settings_record s;
    std::string why, ignored;
    EXPECT_FALSE(parse_settings(std::string("fog = on\0\n", 11), s, why, ignored));
}

TEST_F(OnDisk, MissingFileGivesDefaultsAndCommandLineWordsStillCount)
{
    p->snd.on = 1;  // the SOUND word
    load_settings();
    apply_settings(*p);
    EXPECT_TRUE(same(user_settings, settings_record{}));
    EXPECT_EQ(p->snd.on, 1);
    EXPECT_EQ(do_window, 0);
    // Nothing is written until a setting changes.
    EXPECT_NE(access(settings_file_path().c_str(), F_OK), 0);

    user_settings.fullscreen = 0;
    user_settings.sound = 1;
    user_settings.fog = 0;
    save_settings();
    EXPECT_EQ(settings_file_path(), dir + "/config/kelvarin/settings");
    p = std::make_unique<program>();  // a new run, no SOUND word this time
    load_settings();
    apply_settings(*p);
    EXPECT_EQ(user_settings.fullscreen, 0);
    EXPECT_EQ(do_window, 1);
    EXPECT_EQ(p->snd.on, 1);
    EXPECT_EQ(p->r.view.fog, 0);
}

TEST_F(OnDisk, BrokenFileIsReportedKeptAndReplacedByDefaults)
{
    const std::string path = settings_file_path();
    user_settings.music_volume = 20;
    save_settings();
    const std::string broken = "music_volume = 20\nmouse_sensitivity = fast\n";
    put(path, broken);
    testing::internal::CaptureStderr();
    load_settings();
    apply_settings(*p);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(path), std::string::npos) << err;
    EXPECT_NE(err.find("line 2"), std::string::npos) << err;
    EXPECT_TRUE(same(user_settings, settings_record{}));
    EXPECT_EQ(get(path + ".broken"), broken);
    settings_record again;
    std::string why, ignored;
    EXPECT_EQ(read_settings_file(path, again, why, ignored), settings_status::read) << why;
    EXPECT_TRUE(same(again, settings_record{}));

    // Far too large a file is not read at all.
    put(path, std::string(100000, '#'));
    EXPECT_EQ(read_settings_file(path, again, why, ignored), settings_status::broken);

    // A second broken file is kept beside the first, never over it.
    testing::internal::CaptureStderr();
    load_settings();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(get(path + ".broken"), broken);
    EXPECT_EQ(get(path + ".broken.1"), std::string(100000, '#'));
}

// What cannot be opened or read is no broken file: it is reported, left as
// it is and never written over; a FIFO does not hold start-up.
TEST_F(OnDisk, UnreadableFileIsLeftAloneAndNotWrittenOver)
{
    const std::string path = settings_file_path();
    save_settings();  // makes the directory
    unlink(path.c_str());
    for (const bool fifo : {true, false}) {
        ASSERT_EQ(fifo ? mkfifo(path.c_str(), 0600) : mkdir(path.c_str(), 0700), 0);
        testing::internal::CaptureStderr();
        load_settings();
        save_settings();
        EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot be read"), std::string::npos);
        struct stat st;
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_TRUE(fifo ? S_ISFIFO(st.st_mode) : S_ISDIR(st.st_mode));
        EXPECT_NE(access((path + ".broken").c_str(), F_OK), 0);
        std::filesystem::remove(path);
    }
}

TEST_F(OnDisk, DataFromTheWorkingDirectoryFirstFilesWhereTheUserCanWrite)
{
    mkdir("installed", 0755);
    mkdir("installed/textures", 0755);
    put("installed/textures/oak.tex", "x");
    put("installed/walls.txt", "x");
    setenv("KELVARIN_DATA", (dir + "/installed").c_str(), 1);

    // An empty working directory: data from the installation, the game's own
    // files in the user's data directory, made when first written.
    init_paths();
    EXPECT_EQ(installed_data_dir(), dir + "/installed");
    EXPECT_EQ(data_file("textures/oak.tex"), dir + "/installed/textures/oak.tex");
    EXPECT_EQ(data_file("textures/elm.tex"), "textures/elm.tex");
    EXPECT_EQ(user_files_dir(), dir + "/share/kelvarin");
    EXPECT_EQ(user_file("path.dat"), dir + "/share/kelvarin/path.dat");
    struct stat st;
    EXPECT_NE(stat((dir + "/share/kelvarin").c_str(), &st), 0);
    EXPECT_EQ(user_file_for_writing("terrain.out"), dir + "/share/kelvarin/terrain.out");
    EXPECT_EQ(stat((dir + "/share/kelvarin").c_str(), &st), 0);
    EXPECT_NE(data_search_hint("textures/elm.tex").find(dir + "/installed"), std::string::npos);

    // A working directory holding the data is played from as it is.
    mkdir("textures", 0755);
    put("walls.txt", "y");
    init_paths();
    EXPECT_EQ(data_file("walls.txt"), "walls.txt");
    EXPECT_EQ(data_file("textures/oak.tex"), dir + "/installed/textures/oak.tex");
    EXPECT_EQ(user_file("screenshot.rgba"), "screenshot.rgba");
    unsetenv("KELVARIN_DATA");
}

// The timedemo checks the eye path that its play replays: the user's one.
TEST_F(OnDisk, TheTimedemoChecksThePathItReplays)
{
    init_paths();  // an empty working directory: the user's files go to share/kelvarin
    const std::string three(sizeof(position_record) * 3, '\0');
    put("path.dat", three);  // not the file replayed
    timedemo_run demo;
    testing::internal::CaptureStderr();
    EXPECT_EQ(timedemo_check(demo), 2);
    testing::internal::GetCapturedStderr();
    put(user_file_for_writing("path.dat"), three);
    EXPECT_EQ(timedemo_check(demo), 0);
    EXPECT_EQ(demo.frames_wanted, 3);  // as many frames as the path holds
    unlink("path.dat");
    init_paths();
}
