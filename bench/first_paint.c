// Process start to the first page on screen, measured from outside the program, so that any
// reader can be timed the same way:
//   first_paint [--min-width W] [--timeout S] -- PROGRAM [ARGS...]
// starts PROGRAM and watches the X screen (DISPLAY) for a viewable window of its process at
// least W pixels wide (the main window, not a splash) whose middle shows text: many dark-light
// changes along its rows below the menus and tool bars. Prints the milliseconds from the fork
// to the first such picture, then ends the program (SIGTERM, SIGKILL after two seconds).
// With --rss-after S it waits S seconds more and prints, after the milliseconds, the program's
// resident memory then, its anonymous and file-backed parts (kB, from /proc/PID/status); with
// --smaps FILE it also copies /proc/PID/smaps into FILE at that moment.
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double NowMs(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

static long WindowPid(Display* d, Window w, Atom pidAtom) {
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = NULL;
    long pid = -1;
    if (XGetWindowProperty(d, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after,
                           &data) == Success &&
        data != NULL && n == 1 && format == 32)
        pid = (long)*(unsigned long*)data;
    if (data) XFree(data);
    return pid;
}

// A field of /proc/PID/status in kB, -1 when it is not there.
static long StatusKb(pid_t pid, const char* field) {
    char path[64], line[256];
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE* f = fopen(path, "r");
    if (f == NULL) return -1;
    long kb = -1;
    const size_t n = strlen(field);
    while (fgets(line, sizeof line, f))
        if (strncmp(line, field, n) == 0 && line[n] == ':') kb = atol(line + n + 1);
    fclose(f);
    return kb;
}

static void CopyFile(const char* from, const char* to) {
    FILE* in = fopen(from, "r");
    FILE* out = fopen(to, "w");
    char buf[65536];
    size_t n;
    while (in && out && (n = fread(buf, 1, sizeof buf, in)) > 0)
        fwrite(buf, 1, n, out);
    if (in) fclose(in);
    if (out) fclose(out);
}

// Rows of the window's middle that cross text: rows with many dark-light changes. A page's
// frame, a uniformly filled page or the edges of panels give a few changes a row, a line of
// text dozens, so an empty page is never taken for a painted one.
static long TextRows(Display* d, Window w, int width, int height) {
    const int top = height * 12 / 100, bottom = height * 90 / 100;
    if (bottom - top < 10 || width < 10) return 0;
    XImage* img =
        XGetImage(d, w, 0, top, (unsigned)width, (unsigned)(bottom - top), AllPlanes, ZPixmap);
    if (img == NULL) return 0;
    long rows = 0;
    for (int y = 0; y < bottom - top; y += 2) {
        int lastDark = -1, edges = 0;
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(img, x, y);
            const int luma = (int)(((p >> 16) & 255) * 3 + ((p >> 8) & 255) * 6 + (p & 255)) / 10;
            const int dark = luma < 90 ? 1 : luma > 170 ? 0 : -1;
            if (dark < 0) continue;
            if (lastDark >= 0 && dark != lastDark) ++edges;
            lastDark = dark;
        }
        if (edges >= 8) ++rows;
    }
    XDestroyImage(img);
    return rows;
}
static int Painted(Display* d, Window w, pid_t pid, Atom pidAtom, int minWidth, long minRows) {
    Window root, parent, *kids = NULL;
    unsigned int n = 0;
    if (!XQueryTree(d, w, &root, &parent, &kids, &n)) return 0;
    int found = 0;
    for (unsigned int i = 0; i < n && !found; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, kids[i], &a) || a.map_state != IsViewable) continue;
        if (WindowPid(d, kids[i], pidAtom) == pid) {
            found = a.width >= minWidth && TextRows(d, kids[i], a.width, a.height) >= minRows;
        } else {
            found = Painted(d, kids[i], pid, pidAtom, minWidth, minRows);  // a frame's client
        }
    }
    if (kids) XFree(kids);
    return found;
}

static int IgnoreErrors(Display* d, XErrorEvent* e) {
    (void)d;
    (void)e;
    return 0;  // windows come and go while they are looked at
}

int main(int argc, char** argv) {
    int minWidth = 600;
    double timeoutS = 20;
    long minRows = 12;
    double rssAfterS = -1;
    const char* smaps = NULL;
    int i = 1;
    for (; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        if (strcmp(argv[i], "--min-width") == 0 && i + 1 < argc)
            minWidth = atoi(argv[++i]);
        else if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc)
            timeoutS = atof(argv[++i]);
        else if (strcmp(argv[i], "--min-rows") == 0 && i + 1 < argc)
            minRows = atol(argv[++i]);
        else if (strcmp(argv[i], "--rss-after") == 0 && i + 1 < argc)
            rssAfterS = atof(argv[++i]);
        else if (strcmp(argv[i], "--smaps") == 0 && i + 1 < argc)
            smaps = argv[++i];
    }
    if (i + 1 >= argc) {
        fprintf(stderr,
                "usage: first_paint [--min-width W] [--timeout S] [--rss-after S [--smaps FILE]]"
                " -- PROGRAM [ARGS...]\n");
        return 2;
    }
    Display* d = XOpenDisplay(NULL);
    if (d == NULL) {
        fprintf(stderr, "first_paint: no X display\n");
        return 2;
    }
    XSetErrorHandler(IgnoreErrors);
    const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    const double start = NowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[i + 1], argv + i + 1);
        _exit(127);
    }
    int status = 0;
    double result = -1;
    while (NowMs() - start < timeoutS * 1000) {
        if (waitpid(pid, &status, WNOHANG) == pid) break;
        if (Painted(d, DefaultRootWindow(d), pid, pidAtom, minWidth, minRows)) {
            result = NowMs() - start;
            break;
        }
        usleep(2000);
    }
    long rss = -1, anon = -1, file = -1;
    if (result >= 0 && rssAfterS >= 0) {
        usleep((useconds_t)(rssAfterS * 1e6));
        if (waitpid(pid, &status, WNOHANG) != pid) {
            rss = StatusKb(pid, "VmRSS");
            anon = StatusKb(pid, "RssAnon");
            file = StatusKb(pid, "RssFile");
            if (smaps != NULL) {
                char path[64];
                snprintf(path, sizeof path, "/proc/%d/smaps", (int)pid);
                CopyFile(path, smaps);
            }
        }
    }
    kill(pid, SIGTERM);
    for (int k = 0; k < 200 && waitpid(pid, &status, WNOHANG) != pid; ++k)
        usleep(10000);
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    XCloseDisplay(d);
    if (result < 0) {
        fprintf(stderr, "first_paint: no page seen\n");
        return 1;
    }
    if (rssAfterS >= 0) {
        if (rss < 0) {
            fprintf(stderr, "first_paint: the program ended before its memory was read\n");
            return 1;
        }
        printf("%.0f %ld %ld %ld\n", result, rss, anon, file);
    } else {
        printf("%.0f\n", result);
    }
    return 0;
}
