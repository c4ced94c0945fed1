// Screenshots of the frame just drawn.
#pragma once

// Writes the frame of width x height pixels just drawn to
// "screenshot.rgba" in the user files directory.
void take_screenshot(int width, int height);
// Converts bottom-up RGBA rows into the screenshot file layout: top row
// first, each channel as a 16-bit little-endian value.
void screenshot_bytes(const unsigned char* rgba, int width, int height, unsigned char* out);
