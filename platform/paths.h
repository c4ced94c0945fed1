// Where the game finds its files. Read-only data (textures, sounds, the
// placement files) comes from the working directory when it holds a copy,
// as in a build tree, and otherwise from the installed data directory. The
// files the game makes (terrain.out, screenshot.rgba, path.dat) go to the
// working directory when it holds the game's data and may be written, and
// otherwise to the user's data directory. The settings file lives in the
// user's configuration directory.
#pragma once

#include <string>

// Looks the directories up from the environment and the program's own
// location; called once at start-up, again only by tests.
void init_paths();

// The installed data directory: $KELVARIN_DATA, else the data directory of
// the installation the program runs from, else the configured one. Empty
// when none of them exists.
const std::string& installed_data_dir();

// The path to open a read-only data file under: the name itself when the
// working directory has it (or it is absolute), else the installed copy;
// the name itself again when neither exists, so messages name the file as
// the game knows it.
std::string data_file(const std::string& name);

// The directory the game's own files go to: "" for the working directory,
// else $XDG_DATA_HOME/kelvarin (~/.local/share/kelvarin).
const std::string& user_files_dir();
// Where to read one of the game's own files from.
std::string user_file(const std::string& name);
// Where to write one: as user_file, with the directory made when missing.
std::string user_file_for_writing(const std::string& name);
// The user files directory as a player would look for it.
std::string user_files_description();

// $XDG_CONFIG_HOME/kelvarin/settings (~/.config/kelvarin/settings); empty
// when there is no home directory either.
std::string settings_file_path();

// One line for a fatal message: the data file was looked for in the
// working directory and in the installed data directory, and what to do.
std::string data_search_hint(const std::string& name);

// Makes a directory and its parents (mode 0755); true when it exists after.
bool make_directories(const std::string& dir);
