// The player's settings and their file, $XDG_CONFIG_HOME/kelvarin/settings:
// a small commented text file of "key = value" lines that the Settings menu
// writes and a player may edit. A missing key takes its default; a file the
// game cannot read is reported, kept beside as "settings.broken" and
// replaced by the defaults. The command-line words SOUND and WINDOW turn
// sound on and the window mode on for one run whatever the file says.
#pragma once

#include <string>

struct settings_record {
    int fullscreen = 1;          // 0: a 600 x 400 window
    int fog = 1;
    int sound = 0;               // sound and music
    int music_volume = 100;      // per cent of the music's normal loudness
    int effects_volume = 100;    // per cent, effects and surf
    int mouse_sensitivity = 100; // per cent of the normal turning speed
    int invert_look = 0;         // 1: moving the mouse up looks down
    int computer = 0;            // 1: the computer plays a side nobody took
    int computer_level = 2;      // 1 easy, 2 normal, 3 hard
};

// One line of the file: its key, the two words of a switch (off, on) or, for
// a number, no words and its range; the field it fills and the comment
// written above it.
struct setting_field {
    const char* key;
    const char* off_word;
    const char* on_word;
    int low, high;
    int settings_record::*value;
    const char* comment;
};

extern const setting_field setting_fields[];
extern const int num_setting_fields;

// The settings of this run, read at start-up and changed by the menu.
extern settings_record user_settings;

// Reads "key = value" lines over `out`, which keeps its values for the keys
// the text leaves out. False, with the line and the reason in `why`, when a
// line is not of that form or a value is not allowed; unknown keys are
// listed in `ignored` (space-separated) and skipped.
bool parse_settings(const std::string& text, settings_record& out, std::string& why, std::string& ignored);
std::string format_settings(const settings_record& s);

// missing: no file; read: taken; broken: its contents are not a settings
// file (too large, a line that is no setting); unreadable: it could not be
// opened or read (no permission, a directory, a FIFO or device, a read
// error), which says nothing of its contents.
enum class settings_status { missing, read, broken, unreadable };
settings_status read_settings_file(const std::string& path, settings_record& out, std::string& why,
                                   std::string& ignored);
// Writes the whole file through a temporary one, so a failed write leaves
// the old file whole. False with the reason in `why`.
bool write_settings_file(const std::string& path, const settings_record& s, std::string& why);

// Start-up: user_settings from the user's file (defaults when it is
// missing; a broken one is reported, kept beside it as ".broken" (".broken.1"
// and on when that is taken) and replaced by the defaults; an unreadable one
// is reported and left alone, and the settings then hold for this run only).
void load_settings();
// Writes user_settings to the user's file; a failure is reported.
void save_settings();
