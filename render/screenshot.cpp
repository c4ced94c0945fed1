// The screenshot file "screenshot.rgba": the frame just drawn, top row first,
// each channel a 16-bit little-endian value.
#include "render/screenshot.h"

#include <GL/gl.h>
#include <cstdio>
#include <vector>

#include "platform/paths.h"

void screenshot_bytes(const unsigned char* rgba, int width, int height, unsigned char* out)
{
    for (int y = 0; y < height; ++y) {
        const unsigned char* src = rgba + static_cast<size_t>(height - 1 - y) * width * 4;
        unsigned char* dst = out + static_cast<size_t>(y) * width * 8;
        for (int i = 0; i < width * 4; ++i) {
            dst[2 * i] = src[i];
            dst[2 * i + 1] = 0;
        }
    }
}

void take_screenshot(int width, int height)
{
    const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    std::vector<unsigned char> pixels(w * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    FILE* f = fopen(user_file_for_writing("screenshot.rgba").c_str(), "wb");
    if (!f) {
        printf("couldn't open screenshot.raw\n");
        return;
    }
    std::vector<unsigned char> out(w * h * 8);
    screenshot_bytes(pixels.data(), width, height, out.data());
    size_t written = fwrite(out.data(), 1, out.size(), f);
    if (fclose(f) != 0 || written != out.size()) {
        printf("couldn't write screenshot.rgba completely\n");
        return;
    }
    printf("took a screenshot.\n");
}
