/* A fake V4L2 capture device for Wine's own video capture filter, loaded
 * into a Wine process with LD_PRELOAD (a native Linux library).
 *
 * It answers for /dev/video0 .. /dev/video9 exactly what Wine 8's device
 * enumeration (avicap32) and capture filter (qcap) ask: stat, open,
 * VIDIOC_QUERYCAP, G_FMT, TRY_FMT, S_FMT, ENUM_FRAMESIZES,
 * ENUM_FRAMEINTERVALS, QUERYCTRL, G_CTRL, S_CTRL and read; every other path
 * and descriptor goes to the C library unchanged. It refuses to load
 * libv4l2, whose own calls would pass it by.
 *
 * The devices live in a text file named by LUMORA_FAKE_V4L2_STATE, read on
 * every call and rewritten by every successful S_CTRL, so a test sets the
 * devices up, makes them misbehave and checks the values they hold:
 *
 *   device N NAME...          device /dev/videoN exists, its card name
 *   control N ID VALUE MIN MAX STEP DEFAULT
 *                             a control (ID in decimal or 0x hex)
 *   refuse N ID               G_CTRL and S_CTRL of the control fail (EIO);
 *                             QUERYCTRL still answers
 *   gone N                    the device has vanished: stat and open fail
 *                             (ENOENT), ioctls on open descriptors ENODEV
 *
 * Without the variable, or with a file that cannot be read, there is no
 * device. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#define MAX_DEVICES 10
#define MAX_CONTROLS 16
#define MAX_FDS 1024
#define WIDTH 320
#define HEIGHT 240

struct control {
  unsigned id;
  int value, min, max, step, def;
  int refused;
};

struct device {
  int present;
  int gone;
  char name[32];
  struct control controls[MAX_CONTROLS];
  int controlCount;
};

static struct device devices[MAX_DEVICES];
/* Device index + 1 of every descriptor this library opened; 0 otherwise. */
static int fdDevice[MAX_FDS];

static void* Next(const char* name) { return dlsym(RTLD_NEXT, name); }

static void Load(void) {
  memset(devices, 0, sizeof devices);
  const char* path = getenv("LUMORA_FAKE_V4L2_STATE");
  if (!path) return;
  FILE* f = fopen(path, "r");
  if (!f) return;
  char line[256];
  while (fgets(line, sizeof line, f)) {
    int n = -1, offset = 0;
    unsigned id = 0;
    struct control c;
    memset(&c, 0, sizeof c);
    if (sscanf(line, "device %d %n", &n, &offset) == 1 && n >= 0 && n < MAX_DEVICES) {
      devices[n].present = 1;
      snprintf(devices[n].name, sizeof devices[n].name, "%s", line + offset);
      devices[n].name[strcspn(devices[n].name, "\r\n")] = '\0';
    } else if (sscanf(line, "control %d %i %d %d %d %d %d", &n, &c.id, &c.value, &c.min, &c.max,
                      &c.step, &c.def) == 7 &&
               n >= 0 && n < MAX_DEVICES && devices[n].controlCount < MAX_CONTROLS) {
      devices[n].controls[devices[n].controlCount++] = c;
    } else if (sscanf(line, "refuse %d %i", &n, &id) == 2 && n >= 0 && n < MAX_DEVICES) {
      for (int i = 0; i < devices[n].controlCount; ++i) {
        if (devices[n].controls[i].id == id) devices[n].controls[i].refused = 1;
      }
    } else if (sscanf(line, "gone %d", &n) == 1 && n >= 0 && n < MAX_DEVICES) {
      devices[n].gone = 1;
    }
  }
  fclose(f);
}

static void Save(void) {
  const char* path = getenv("LUMORA_FAKE_V4L2_STATE");
  if (!path) return;
  FILE* f = fopen(path, "w");
  if (!f) return;
  for (int n = 0; n < MAX_DEVICES; ++n) {
    const struct device* d = &devices[n];
    if (!d->present) continue;
    fprintf(f, "device %d %s\n", n, d->name);
    for (int i = 0; i < d->controlCount; ++i) {
      const struct control* c = &d->controls[i];
      fprintf(f, "control %d 0x%08x %d %d %d %d %d\n", n, c->id, c->value, c->min, c->max, c->step,
              c->def);
      if (c->refused) fprintf(f, "refuse %d 0x%08x\n", n, c->id);
    }
    if (d->gone) fprintf(f, "gone %d\n", n);
  }
  fclose(f);
}

/* The device index of "/dev/videoN", or -1 for any other path. */
static int DeviceOfPath(const char* path) {
  if (!path || strncmp(path, "/dev/video", 10) != 0) return -1;
  const char* digits = path + 10;
  if (digits[0] < '0' || digits[0] > '9' || digits[1] != '\0') return -1;
  return digits[0] - '0';
}

static int Available(int n) {
  Load();
  return devices[n].present && !devices[n].gone;
}

static struct control* FindControl(struct device* d, unsigned id) {
  for (int i = 0; i < d->controlCount; ++i) {
    if (d->controls[i].id == id) return &d->controls[i];
  }
  return NULL;
}

/* --- stat ------------------------------------------------------------------ */

static int FakeStat(int n, struct stat* st) {
  if (!Available(n)) {
    errno = ENOENT;
    return -1;
  }
  memset(st, 0, sizeof *st);
  st->st_mode = S_IFCHR | 0666;
  st->st_rdev = makedev(81, n);
  return 0;
}

/* stat and its variants: the fake device for /dev/videoN, the C library's
 * function for every other path. */
#define STAT_INTERPOSER(name, type)                   \
  int name(const char* path, type* st) {              \
    int n = DeviceOfPath(path);                       \
    if (n >= 0) return FakeStat(n, (struct stat*)st); \
    int (*real)(const char*, type*) = Next(#name);    \
    return real(path, st);                            \
  }
#define XSTAT_INTERPOSER(name, type)                    \
  int name(int ver, const char* path, type* st) {       \
    int n = DeviceOfPath(path);                         \
    if (n >= 0) return FakeStat(n, (struct stat*)st);   \
    int (*real)(int, const char*, type*) = Next(#name); \
    return real(ver, path, st);                         \
  }
STAT_INTERPOSER(stat, struct stat)
STAT_INTERPOSER(stat64, struct stat64)
XSTAT_INTERPOSER(__xstat, struct stat)
XSTAT_INTERPOSER(__xstat64, struct stat64)

/* --- open, close, read ----------------------------------------------------- */

/* A real descriptor (of /dev/null) stands for the device. */
static int FakeOpen(int n, int flags) {
  if (!Available(n)) {
    errno = ENOENT;
    return -1;
  }
  int (*real)(const char*, int, ...) = Next("open");
  int fd = real("/dev/null", O_RDWR | (flags & O_CLOEXEC));
  if (fd >= 0 && fd < MAX_FDS) fdDevice[fd] = n + 1;
  return fd;
}

/* open and its variants, the same way. The mode argument exists only with
 * O_CREAT or O_TMPFILE. */
#define OPEN_MODE(flags)                                                         \
  va_list args;                                                                  \
  va_start(args, flags);                                                         \
  mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(args, int) : 0; \
  va_end(args)
#define OPEN_INTERPOSER(name)                         \
  int name(const char* path, int flags, ...) {        \
    OPEN_MODE(flags);                                 \
    int n = DeviceOfPath(path);                       \
    if (n >= 0) return FakeOpen(n, flags);            \
    int (*real)(const char*, int, ...) = Next(#name); \
    return real(path, flags, mode);                   \
  }
#define OPENAT_INTERPOSER(name)                            \
  int name(int dir, const char* path, int flags, ...) {    \
    OPEN_MODE(flags);                                      \
    int n = DeviceOfPath(path);                            \
    if (n >= 0) return FakeOpen(n, flags);                 \
    int (*real)(int, const char*, int, ...) = Next(#name); \
    return real(dir, path, flags, mode);                   \
  }
OPEN_INTERPOSER(open)
OPEN_INTERPOSER(open64)
OPENAT_INTERPOSER(openat)
OPENAT_INTERPOSER(openat64)

int close(int fd) {
  if (fd >= 0 && fd < MAX_FDS) fdDevice[fd] = 0;
  int (*real)(int) = Next("close");
  return real(fd);
}

static int DeviceOfFd(int fd) { return fd >= 0 && fd < MAX_FDS ? fdDevice[fd] - 1 : -1; }

/* A grey frame. */
ssize_t read(int fd, void* buffer, size_t count) {
  int n = DeviceOfFd(fd);
  if (n < 0) {
    ssize_t (*real)(int, void*, size_t) = Next("read");
    return real(fd, buffer, count);
  }
  if (!Available(n)) {
    errno = ENODEV;
    return -1;
  }
  memset(buffer, 0x80, count);
  return (ssize_t)count;
}

/* --- ioctl ----------------------------------------------------------------- */

static int Refuse(int error) {
  errno = error;
  return -1;
}

static void FillFormat(struct v4l2_format* f, unsigned width, unsigned height) {
  f->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  f->fmt.pix.width = width;
  f->fmt.pix.height = height;
  f->fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
  f->fmt.pix.field = V4L2_FIELD_NONE;
  f->fmt.pix.bytesperline = width * 3;
  f->fmt.pix.sizeimage = width * height * 3;
  f->fmt.pix.colorspace = V4L2_COLORSPACE_SRGB;
}

static int DeviceIoctl(int n, unsigned request, void* arg) {
  if (!Available(n)) return Refuse(ENODEV);
  struct device* d = &devices[n];
  if (!arg) return Refuse(EFAULT);
  switch (request) {
    case VIDIOC_QUERYCAP: {
      struct v4l2_capability* cap = arg;
      memset(cap, 0, sizeof *cap);
      snprintf((char*)cap->driver, sizeof cap->driver, "lumora-fake");
      snprintf((char*)cap->card, sizeof cap->card, "%s", d->name);
      snprintf((char*)cap->bus_info, sizeof cap->bus_info, "platform:fake%d", n);
      cap->version = 0x00060100;
      cap->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE;
      cap->capabilities = cap->device_caps | V4L2_CAP_DEVICE_CAPS;
      return 0;
    }
    case VIDIOC_G_FMT: {
      struct v4l2_format* f = arg;
      if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return Refuse(EINVAL);
      FillFormat(f, WIDTH, HEIGHT);
      return 0;
    }
    case VIDIOC_TRY_FMT:
    case VIDIOC_S_FMT: {
      /* The size asked for, always in BGR24. */
      struct v4l2_format* f = arg;
      if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return Refuse(EINVAL);
      unsigned width = f->fmt.pix.width ? f->fmt.pix.width : WIDTH;
      unsigned height = f->fmt.pix.height ? f->fmt.pix.height : HEIGHT;
      FillFormat(f, width, height);
      return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
      struct v4l2_frmsizeenum* s = arg;
      if (s->index != 0) return Refuse(EINVAL);
      s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
      s->discrete.width = WIDTH;
      s->discrete.height = HEIGHT;
      return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
      struct v4l2_frmivalenum* i = arg;
      if (i->index != 0) return Refuse(EINVAL);
      i->type = V4L2_FRMIVAL_TYPE_DISCRETE;
      i->discrete.numerator = 1;
      i->discrete.denominator = 30;
      return 0;
    }
    case VIDIOC_QUERYCTRL: {
      struct v4l2_queryctrl* q = arg;
      struct control* c = FindControl(d, q->id);
      if (!c) return Refuse(EINVAL);
      memset(q, 0, sizeof *q);
      q->id = c->id;
      q->type = V4L2_CTRL_TYPE_INTEGER;
      snprintf((char*)q->name, sizeof q->name, "control %08x", c->id);
      q->minimum = c->min;
      q->maximum = c->max;
      q->step = c->step;
      q->default_value = c->def;
      return 0;
    }
    case VIDIOC_G_CTRL: {
      struct v4l2_control* v = arg;
      struct control* c = FindControl(d, v->id);
      if (!c) return Refuse(EINVAL);
      if (c->refused) return Refuse(EIO);
      v->value = c->value;
      return 0;
    }
    case VIDIOC_S_CTRL: {
      struct v4l2_control* v = arg;
      struct control* c = FindControl(d, v->id);
      if (!c) return Refuse(EINVAL);
      if (c->refused) return Refuse(EIO);
      if (v->value < c->min || v->value > c->max) return Refuse(ERANGE);
      c->value = v->value;
      Save();
      return 0;
    }
    default: return Refuse(ENOTTY);
  }
}

int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  int n = DeviceOfFd(fd);
  /* Requests arrive sign-extended from int. */
  if (n >= 0) return DeviceIoctl(n, (unsigned)request, arg);
  int (*real)(int, unsigned long, ...) = Next("ioctl");
  return real(fd, request, arg);
}

/* --- dlopen ---------------------------------------------------------------- */

void* dlopen(const char* file, int mode) {
  if (file && strstr(file, "libv4l2")) return NULL;
  void* (*real)(const char*, int) = Next("dlopen");
  return real(file, mode);
}
