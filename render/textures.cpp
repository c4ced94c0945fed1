#include "render/textures.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <GL/glx.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "platform/paths.h"

namespace {

// Owns a file descriptor for the duration of a read.
struct fd_closer {
    int fd;
    ~fd_closer()
    {
        if (fd >= 0)
            close(fd);
    }
};

// Reads up to n bytes, retrying short reads; returns the count read or -1.
long read_fully(int fd, unsigned char* buf, size_t n)
{
    size_t got = 0;
    while (got < n) {
        ssize_t r = read(fd, buf + got, n - got);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return got ? static_cast<long>(got) : -1;
        }
        if (r == 0)
            break;
        got += static_cast<size_t>(r);
    }
    return static_cast<long>(got);
}

int32_t le32(const unsigned char* p)
{
    return static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

} // namespace

bool read_texture_path(const char* path, texture_record& rec)
{
    fd_closer file{open(path, O_RDONLY)};
    if (file.fd < 0) {
        fprintf(stderr, "couldn't open .tex input: %s\n", path);
        perror("open");
        return false;
    }
    rec.pixels.clear();
    rec.pixels.shrink_to_fit();

    unsigned char header[12];
    errno = 0;
    long got = read_fully(file.fd, header, sizeof header);
    if (got <= 0) {
        fprintf(stderr, "couldn't read header .tex input: %s\n", path);
        perror("read");
        return false;
    }
    if (got < 12) {
        fprintf(stderr, "couldn't read header .tex input: %s (only %ld of 12 bytes)\n", path, got);
        return false;
    }
    int w = le32(header), h = le32(header + 4), bpp = le32(header + 8);
    if (w <= 0 || h <= 0 || w > TEXTURE_MAX_SIDE || h > TEXTURE_MAX_SIDE || (bpp != 3 && bpp != 4) ||
        static_cast<long long>(w) * h * bpp > TEXTURE_MAX_BYTES) {
        fprintf(stderr, "bad header .tex input: %s (%d x %d, %d bytes per pixel)\n", path, w, h, bpp);
        return false;
    }
    size_t size = static_cast<size_t>(w) * h * bpp;
    std::vector<unsigned char> pixels(size);
    errno = 0;
    got = read_fully(file.fd, pixels.data(), size);
    if (got <= 0) {
        fprintf(stderr, "couldn't read data .tex input: %s\n", path);
        perror("read");
        return false;
    }
    if (static_cast<size_t>(got) < size) {
        fprintf(stderr, "couldn't read data .tex input: %s (only %ld of %zu bytes)\n", path, got, size);
        return false;
    }
    rec.width = w;
    rec.height = h;
    rec.bytes_per_pixel = bpp;
    rec.pixels = std::move(pixels);
    return true;
}

void read_texture_file(const char* name, texture_record& rec)
{
    char path[512];
    snprintf(path, sizeof path, "textures/%s.tex", name);
    const std::string found = data_file(path);
    if (!read_texture_path(found.c_str(), rec)) {
        // Nothing can be drawn without it: say where it was looked for and
        // what would help.
        if (access(found.c_str(), F_OK) != 0)
            fprintf(stderr, "%s\n", data_search_hint(path).c_str());
        else
            fprintf(stderr, "kelvarin: %s is damaged; reinstall the game (or rebuild its data)\n", found.c_str());
        exit(-1);
    }
}

unsigned int load_file_texture(const texture_record& rec)
{
    GLuint id = 0;
    glGenTextures(1, &id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLenum format = rec.bytes_per_pixel == 4 ? GL_RGBA : GL_RGB;
    if (rec.height == 1) {
        glEnable(GL_TEXTURE_1D);
        glBindTexture(GL_TEXTURE_1D, id);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexImage1D(GL_TEXTURE_1D, 0, GL_RGBA, rec.width, 0, format, GL_UNSIGNED_BYTE, rec.pixels.data());
    } else {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA8, rec.width, rec.height, format, GL_UNSIGNED_BYTE,
                          rec.pixels.data());
    }
    GLenum err = glGetError();
    if (err != GL_NO_ERROR)
        printf("glGetError() = %d\n", static_cast<int>(err));
    glBindTexture(GL_TEXTURE_1D, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    return id;
}

unsigned int load_texture(const char* name)
{
    texture_record rec;
    read_texture_file(name, rec);
    return load_file_texture(rec);
}

void texture_mean_colour(const texture_record& rec, float mean[3])
{
    const size_t texels = static_cast<size_t>(rec.width) * static_cast<size_t>(rec.height);
    const size_t bpp = static_cast<size_t>(rec.bytes_per_pixel);
    if (texels == 0 || bpp < 3 || rec.pixels.size() < texels * bpp) {
        mean[0] = mean[1] = mean[2] = 1.0f;
        return;
    }
    double sum[3] = {0.0, 0.0, 0.0};
    for (size_t t = 0; t < texels; ++t)
        for (size_t c = 0; c < 3; ++c)
            sum[c] += rec.pixels[t * bpp + c];
    for (int c = 0; c < 3; ++c)
        mean[c] = static_cast<float>(sum[c] / (255.0 * static_cast<double>(texels)));
}

void read_one_mipmap_level()
{
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
}

namespace {
// The texture files by material id.
const char* const TEXTURE_NAMES[] = {
#define KELVARIN_TEXTURE_NAME(name) #name,
    KELVARIN_TEXTURE_TABLE(KELVARIN_TEXTURE_NAME)
#undef KELVARIN_TEXTURE_NAME
};
static_assert(sizeof TEXTURE_NAMES / sizeof TEXTURE_NAMES[0] == TEXTURE_COUNT);
}  // namespace

void load_the_textures(texture_table& table)
{
    constexpr size_t n = TEXTURE_COUNT;
    for (size_t i = 0; i + 1 < n; ++i)
        table.id[i] = load_texture(TEXTURE_NAMES[i]);

    // The terrain detail layer lives on the second texture unit.
    auto active_texture = reinterpret_cast<PFNGLACTIVETEXTUREARBPROC>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glActiveTextureARB")));
    if (active_texture) {
        active_texture(GL_TEXTURE1_ARB);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
    }
    texture_record detail;
    read_texture_file(TEXTURE_NAMES[n - 1], detail);
    texture_mean_colour(detail, table.detail_mean);
    table.id[n - 1] = load_file_texture(detail);
    if (active_texture) {
        glDisable(GL_TEXTURE_2D);
        active_texture(GL_TEXTURE0_ARB);
    }
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_1D);

    for (unsigned int id : {table[TEX_water], table[TEX_terrain_detail]}) {
        glBindTexture(GL_TEXTURE_2D, id);
        read_one_mipmap_level();
    }
    // The sky box is magnified at the window sizes the game runs at, so its
    // faces need no mipmap level chosen per pixel.
    for (unsigned int id : {table[TEX_sky_front], table[TEX_sky_back], table[TEX_sky_left], table[TEX_sky_right],
                            table[TEX_sky_top]}) {
        glBindTexture(GL_TEXTURE_2D, id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    }

    GLint units = 0, stack = 0;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
    glGetIntegerv(GL_MAX_MODELVIEW_STACK_DEPTH, &stack);
    printf("max texture units = %d\n", units);
    printf("max modelview stack = %d\n", stack);
}
