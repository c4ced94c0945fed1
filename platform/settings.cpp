#include "platform/settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <strings.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"

settings_record user_settings;

const setting_field setting_fields[] = {
    {"display", "window", "fullscreen", 0, 1, &settings_record::fullscreen,
     "Video: \"fullscreen\" or \"window\" (600 x 400)"},
    {"fog", "off", "on", 0, 1, &settings_record::fog, "Video: distance fog, \"on\" or \"off\""},
    {"sound", "off", "on", 0, 1, &settings_record::sound, "Sound: sound and music, \"on\" or \"off\""},
    {"music_volume", nullptr, nullptr, 0, 100, &settings_record::music_volume, "Sound: music volume, 0 to 100"},
    {"effects_volume", nullptr, nullptr, 0, 100, &settings_record::effects_volume,
     "Sound: effects volume, 0 to 100"},
    {"mouse_sensitivity", nullptr, nullptr, 10, 400, &settings_record::mouse_sensitivity,
     "Controls: mouse look speed in per cent of the normal, 10 to 400"},
    {"invert_look", "off", "on", 0, 1, &settings_record::invert_look,
     "Controls: \"on\" makes moving the mouse up look down"},
    {"computer", "off", "on", 0, 1, &settings_record::computer,
     "Teams: \"on\" gives a side nobody took to the computer"},
    {"computer_level", nullptr, nullptr, 1, 3, &settings_record::computer_level,
     "Teams: how well the computer plays, 1 easy, 2 normal, 3 hard"},
};
const int num_setting_fields = sizeof setting_fields / sizeof setting_fields[0];

// A settings file is a few hundred bytes; anything this large is not one.
static constexpr size_t SETTINGS_MAX_BYTES = 64 * 1024;

static std::string trim(const std::string& s)
{
    const char* space = " \t\r";
    const size_t a = s.find_first_not_of(space);
    if (a == std::string::npos)
        return "";
    return s.substr(a, s.find_last_not_of(space) - a + 1);
}

// A value of the field's kind within its range, or false.
static bool parse_value(const setting_field& f, const std::string& word, int& out)
{
    if (f.off_word) {
        if (!strcasecmp(word.c_str(), f.off_word))
            out = 0;
        else if (!strcasecmp(word.c_str(), f.on_word))
            out = 1;
        else
            return false;
        return true;
    }
    if (word.empty() || word.size() > 9)
        return false;
    char* end = nullptr;
    errno = 0;
    const long v = strtol(word.c_str(), &end, 10);
    if (errno || *end || v < f.low || v > f.high)
        return false;
    out = static_cast<int>(v);
    return true;
}

static std::string allowed(const setting_field& f)
{
    if (f.off_word)
        return std::string("\"") + f.off_word + "\" or \"" + f.on_word + "\"";
    return "a whole number from " + std::to_string(f.low) + " to " + std::to_string(f.high);
}

bool parse_settings(const std::string& text, settings_record& out, std::string& why, std::string& ignored)
{
    settings_record s = out;
    ignored.clear();
    size_t start = 0;
    for (int line_no = 1; start <= text.size(); ++line_no) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        line = trim(line);
        if (line.empty())
            continue;
        if (line.find('\0') != std::string::npos) {
            why = "line " + std::to_string(line_no) + " holds a NUL byte";
            return false;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            why = "line " + std::to_string(line_no) + " is not \"key = value\"";
            return false;
        }
        const std::string key = trim(line.substr(0, eq)), word = trim(line.substr(eq + 1));
        const setting_field* field = nullptr;
        for (int i = 0; i < num_setting_fields; ++i)
            if (key == setting_fields[i].key)
                field = &setting_fields[i];
        if (!field) {
            ignored += (ignored.empty() ? "" : " ") + key;
            continue;
        }
        int v = 0;
        if (!parse_value(*field, word, v)) {
            why = "line " + std::to_string(line_no) + ": " + key + " must be " + allowed(*field) + ", not \"" +
                  word + "\"";
            return false;
        }
        s.*(field->value) = v;
    }
    out = s;
    return true;
}

std::string format_settings(const settings_record& s)
{
    std::string text =
        "# Kelvarin settings. The game writes this file when a setting is changed in\n"
        "# its Settings menu, and it may be edited by hand while the game is not\n"
        "# running. Lines are \"key = value\"; \"#\" starts a comment; a key left out\n"
        "# takes its default. The command-line words SOUND and WINDOW turn sound and\n"
        "# the window on for one run whatever this file says.\n";
    for (int i = 0; i < num_setting_fields; ++i) {
        const setting_field& f = setting_fields[i];
        const int v = s.*(f.value);
        text += std::string("\n# ") + f.comment + "\n" + f.key + " = " +
                (f.off_word ? (v ? f.on_word : f.off_word) : std::to_string(v)) + "\n";
    }
    return text;
}

settings_status read_settings_file(const std::string& path, settings_record& out, std::string& why,
                                   std::string& ignored)
{
    // Opened without waiting (a FIFO would hold start-up until a writer
    // came) and read only when it is a regular file.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return settings_status::missing;
        why = strerror(errno);
        return settings_status::unreadable;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> f(fdopen(fd, "rb"), fclose);
    struct stat st;
    if (!f || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = !f ? strerror(errno) : "not a regular file";
        if (!f)
            close(fd);
        return settings_status::unreadable;
    }
    std::string text(SETTINGS_MAX_BYTES + 1, '\0');
    const size_t got = fread(text.data(), 1, text.size(), f.get());
    if (ferror(f.get())) {
        why = strerror(errno);
        return settings_status::unreadable;
    }
    if (got > SETTINGS_MAX_BYTES) {
        why = "larger than " + std::to_string(SETTINGS_MAX_BYTES) + " bytes";
        return settings_status::broken;
    }
    text.resize(got);
    return parse_settings(text, out, why, ignored) ? settings_status::read : settings_status::broken;
}

bool write_settings_file(const std::string& path, const settings_record& s, std::string& why)
{
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !make_directories(path.substr(0, slash))) {
        why = "cannot make " + path.substr(0, slash) + ": " + strerror(errno);
        return false;
    }
    const std::string tmp = path + ".new";
    const std::string text = format_settings(s);
    FILE* f = fopen(tmp.c_str(), "wb");
    if (!f) {
        why = strerror(errno);
        return false;
    }
    const bool put = fwrite(text.data(), 1, text.size(), f) == text.size();
    const int saved_errno = errno;
    if (fclose(f) != 0 || !put) {
        why = strerror(put ? errno : saved_errno);
        unlink(tmp.c_str());
        return false;
    }
    if (rename(tmp.c_str(), path.c_str()) != 0) {
        why = strerror(errno);
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

// Whether save_settings may write the user's file: not over one this run
// could not read or keep aside.
static bool s_save_allowed = true;

// Moves a broken settings file aside under a name that no file has yet
// (".broken", ".broken.1", ...): never over an earlier one. The name taken,
// or empty when none could be.
static std::string keep_broken_file(const std::string& path)
{
    for (int n = 0; n < 100; ++n) {
        const std::string kept = path + ".broken" + (n ? "." + std::to_string(n) : "");
        // A link fails rather than replace what is there.
        if (link(path.c_str(), kept.c_str()) == 0) {
            if (unlink(path.c_str()) == 0)
                return kept;
            unlink(kept.c_str());
            return "";
        }
        if (errno != EEXIST)
            break;
    }
    return "";
}

void load_settings()
{
    user_settings = settings_record{};
    s_save_allowed = true;
    const std::string path = settings_file_path();
    if (!path.empty()) {
        settings_record read = user_settings;
        std::string why, ignored;
        switch (read_settings_file(path, read, why, ignored)) {
        case settings_status::missing:
            break;
        case settings_status::read:
            user_settings = read;
            if (!ignored.empty())
                fprintf(stderr, "kelvarin: %s: unknown settings ignored: %s\n", path.c_str(), ignored.c_str());
            break;
        case settings_status::broken: {
            fprintf(stderr, "kelvarin: the settings file %s cannot be used (%s); the defaults replace it\n",
                    path.c_str(), why.c_str());
            const std::string kept = keep_broken_file(path);
            if (kept.empty()) {
                fprintf(stderr, "kelvarin: the file could not be kept aside: it is left as it is, and the "
                                "settings hold for this run only\n");
                s_save_allowed = false;
                break;
            }
            fprintf(stderr, "kelvarin: the old file is kept as %s\n", kept.c_str());
            save_settings();
            break;
        }
        case settings_status::unreadable:
            // Nothing is known of what it holds: it is neither renamed nor
            // written over.
            fprintf(stderr, "kelvarin: the settings file %s cannot be read (%s); the defaults hold for this run\n",
                    path.c_str(), why.c_str());
            s_save_allowed = false;
            break;
        }
    }
}

void save_settings()
{
    const std::string path = settings_file_path();
    std::string why;
    if (path.empty())
        fprintf(stderr, "kelvarin: no home directory: the settings are kept for this run only\n");
    else if (!s_save_allowed)
        return;  // said at start-up
    else if (!write_settings_file(path, user_settings, why))
        fprintf(stderr, "kelvarin: cannot save the settings to %s: %s\n", path.c_str(), why.c_str());
}
