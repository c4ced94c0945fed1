// The ceiling of a display: a window like the game's (same visual: RGBA,
// double-buffered, 16-bit depth) that only clears and swaps, in the same
// way the game ends a frame (glXWaitGL, glXWaitX, glXSwapBuffers).
//
//   glx_clear [WINDOW] [seconds]
//
// WINDOW opens 600 x 400 like the game's windowed mode; otherwise the window
// covers the screen.  Prints "FPS: %d" once a second like the game does, and
// at the end "frames: N seconds: S fps: F".
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/time.h>

namespace {

double now()
{
    timeval tv;
    gettimeofday(&tv, nullptr);
    return tv.tv_sec + tv.tv_usec * 1e-6;
}

} // namespace

int main(int argc, char** argv)
{
    bool window = false;
    double seconds = 10.0;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "WINDOW"))
            window = true;
        else
            seconds = atof(argv[i]);
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        fprintf(stderr, "glx_clear: cannot open the display\n");
        return 1;
    }
    int screen = DefaultScreen(dpy);
    int w = window ? 600 : XDisplayWidth(dpy, screen);
    int h = window ? 400 : XDisplayHeight(dpy, screen);
    Window xw = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), 0, 0, w, h, 0, 0, WhitePixel(dpy, screen));
    XStoreName(dpy, xw, "glx_clear");
    XMapWindow(dpy, xw);

    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_DEPTH_SIZE, 16, None};
    XVisualInfo* vi = glXChooseVisual(dpy, screen, attributes);
    if (!vi) {
        fprintf(stderr, "glx_clear: no visual\n");
        return 1;
    }
    GLXContext ctx = glXCreateContext(dpy, vi, nullptr, True);
    XFree(vi);
    if (!ctx || !glXMakeCurrent(dpy, xw, ctx)) {
        fprintf(stderr, "glx_clear: no context\n");
        return 1;
    }
    glViewport(0, 0, w, h);
    printf("size: %d x %d\n", w, h);
    fflush(stdout);

    long frames = 0, second_frames = 0;
    double start = now(), mark = start;
    for (;;) {
        glClearColor(0.2f, 0.3f, 0.5f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glXWaitGL();
        glXWaitX();
        glXSwapBuffers(dpy, xw);
        ++frames;
        ++second_frames;
        double t = now();
        if (t > mark + 1.0) {
            printf("FPS: %ld\n", second_frames);
            fflush(stdout);
            second_frames = 0;
            mark = t;
        }
        if (t - start >= seconds)
            break;
    }
    double elapsed = now() - start;
    printf("frames: %ld seconds: %.3f fps: %.1f\n", frames, elapsed, frames / elapsed);
    glXMakeCurrent(dpy, None, nullptr);
    glXDestroyContext(dpy, ctx);
    XDestroyWindow(dpy, xw);
    XCloseDisplay(dpy);
    return 0;
}
