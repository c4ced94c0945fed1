#include "platform/paths.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// Set by the build: the data directory relative to the program's directory
// once installed, and the configured absolute one.
#ifndef KELVARIN_DATA_FROM_BIN
#define KELVARIN_DATA_FROM_BIN "../share/games/kelvarin"
#endif
#ifndef KELVARIN_INSTALL_DATA_DIR
#define KELVARIN_INSTALL_DATA_DIR "/usr/local/share/games/kelvarin"
#endif

static std::string s_working_dir;
static std::string s_data_dir;
static std::vector<std::string> s_data_candidates;  // where the data directory was looked for
static std::string s_user_dir;
static bool s_user_dir_made = false;

static bool is_directory(const std::string& path)
{
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static bool exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

static std::string home_dir()
{
    const char* home = getenv("HOME");
    if (home && home[0] == '/')
        return home;
    const passwd* pw = getpwuid(getuid());
    return pw && pw->pw_dir && pw->pw_dir[0] == '/' ? pw->pw_dir : "";
}

// An XDG base directory: the variable when it holds an absolute path, else
// the fallback below the home directory; empty without a home.
static std::string xdg_dir(const char* variable, const char* below_home)
{
    const char* v = getenv(variable);
    if (v && v[0] == '/')
        return v;
    const std::string home = home_dir();
    return home.empty() ? "" : home + "/" + below_home;
}

static std::string program_dir()
{
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "";
    std::string path(buf, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

static std::string canonical(const std::string& path)
{
    char buf[PATH_MAX];
    return realpath(path.c_str(), buf) ? std::string(buf) : path;
}

void init_paths()
{
    char buf[PATH_MAX];
    s_working_dir = getcwd(buf, sizeof buf) ? buf : ".";

    s_data_dir.clear();
    s_data_candidates.clear();
    const char* env = getenv("KELVARIN_DATA");
    if (env && env[0]) {
        s_data_candidates.push_back(env);
    } else {
        const std::string here = program_dir();
        if (!here.empty())
            s_data_candidates.push_back(here + "/" + KELVARIN_DATA_FROM_BIN);
        s_data_candidates.push_back(KELVARIN_INSTALL_DATA_DIR);
    }
    for (const std::string& c : s_data_candidates)
        if (is_directory(c)) {
            s_data_dir = canonical(c);
            break;
        }

    // A working directory with the game's data in it is a place to play
    // from (a build tree, a copied data set): what the game makes stays
    // beside the data, as it always has.
    s_user_dir_made = false;
    if (is_directory("textures") && access(".", W_OK) == 0) {
        s_user_dir.clear();
    } else {
        const std::string base = xdg_dir("XDG_DATA_HOME", ".local/share");
        s_user_dir = base.empty() ? "" : base + "/kelvarin";
    }
}

const std::string& installed_data_dir()
{
    return s_data_dir;
}

std::string data_file(const std::string& name)
{
    if (name.empty() || name[0] == '/' || exists(name))
        return name;
    if (!s_data_dir.empty()) {
        std::string installed = s_data_dir + "/" + name;
        if (exists(installed))
            return installed;
    }
    return name;
}

const std::string& user_files_dir()
{
    return s_user_dir;
}

std::string user_file(const std::string& name)
{
    return s_user_dir.empty() ? name : s_user_dir + "/" + name;
}

std::string user_file_for_writing(const std::string& name)
{
    if (!s_user_dir.empty() && !s_user_dir_made) {
        s_user_dir_made = make_directories(s_user_dir);
        if (!s_user_dir_made)
            fprintf(stderr, "kelvarin: cannot make the directory %s for the game's files: %s\n", s_user_dir.c_str(),
                    strerror(errno));
    }
    return user_file(name);
}

std::string user_files_description()
{
    return s_user_dir.empty() ? "the working directory (" + s_working_dir + ")" : s_user_dir;
}

std::string settings_file_path()
{
    const std::string base = xdg_dir("XDG_CONFIG_HOME", ".config");
    return base.empty() ? "" : base + "/kelvarin/settings";
}

std::string data_search_hint(const std::string& name)
{
    std::string hint = "kelvarin: " + name + " was looked for in the working directory (" + s_working_dir + ")";
    if (!s_data_dir.empty()) {
        hint += " and in the installed data directory (" + s_data_dir + ")";
    } else {
        hint += "; no installed data directory was found (looked for";
        for (size_t i = 0; i < s_data_candidates.size(); ++i)
            hint += (i ? " and " : " ") + s_data_candidates[i];
        hint += ")";
    }
    hint += ".\nkelvarin: run it from a directory that holds the game's data (textures/, sounds/, walls.txt, "
            "houses.txt, trees.txt), reinstall the game, or set KELVARIN_DATA to the directory that holds them.";
    return hint;
}

bool make_directories(const std::string& dir)
{
    if (dir.empty())
        return false;
    for (size_t at = dir.find('/', 1);; at = dir.find('/', at + 1)) {
        const std::string part = at == std::string::npos ? dir : dir.substr(0, at);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        if (at == std::string::npos)
            break;
    }
    return is_directory(dir);
}
