/* The FMU binaries load on GNU C libraries back to 2.17 (x86-64 Linux).  They carry the C++
   runtime and its unwinder inside (-static-libstdc++ -static-libgcc), and nothing may need a
   symbol version of the C library newer than 2.17.  Built into the x86-64 Linux binaries only
   (fmi/CMakeLists.txt), which link with --wrap for the functions wrapped below.

   Maths: newer libraries give exp a new symbol version (exp@GLIBC_2.29, without the old
   error-handling wrapper).  The model's calls reach __wrap_exp, which calls exp under its
   first version, GLIBC_2.2.5.  Both versions compute the result with the same code and return
   the same bits for every argument (tests/fmi checks both versions against each other and the
   FMUs against the C interface).

   Runtime: the static C++ runtime refers to a few newer C-library symbols.  Those it needs are
   given here with the interfaces of older libraries: _dl_find_object (2.35, the unwinder's
   lookup of a code address) from dl_iterate_phdr; __libc_single_threaded (2.32) as "not known
   to be single-threaded", so the runtime always uses atomic operations; pthread_once and
   __pthread_key_create (2.34) under their first versions, which older libraries provide in
   libpthread, with a single-threaded pthread_once when that is not loaded; the thread-specific
   data and read-write lock functions of the runtime's memory resources likewise; getentropy (2.25)
   and arc4random (2.36), used only by std::random_device, which the FMUs never construct, from
   /dev/urandom. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <stddef.h>
#include <stdint.h>
#include <unistd.h>

#define CORVANTA_LOCAL __attribute__((visibility("hidden")))

/* ---- maths ---------------------------------------------------------------------------- */

/* Binaries built with the portable maths (CORVANTA_PORTABLE_MATH) take no maths function
   from the C library, and are linked without the wrap. */
#if !defined(CORVANTA_PORTABLE_MATH)
double corvanta_exp_glibc_2_2_5(double x);
__asm__(".symver corvanta_exp_glibc_2_2_5, exp@GLIBC_2.2.5");

CORVANTA_LOCAL double __wrap_exp(double x);
double __wrap_exp(double x) { return corvanta_exp_glibc_2_2_5(x); }
#endif

/* ---- the unwinder's object lookup ------------------------------------------------------ */

struct corvanta_object_search {
  uintptr_t pc;
  struct dl_find_object *result;
  int found;
};

static int corvanta_visit_object(struct dl_phdr_info *info, size_t size, void *data) {
  struct corvanta_object_search *search = (struct corvanta_object_search *)data;
  const ElfW(Phdr) *frames = NULL;
  uintptr_t low = UINTPTR_MAX;
  uintptr_t high = 0;
  int contains = 0;
  ElfW(Half) k;
  (void)size;
  for (k = 0; k < info->dlpi_phnum; ++k) {
    const ElfW(Phdr) *segment = &info->dlpi_phdr[k];
    if (segment->p_type == PT_LOAD) {
      const uintptr_t start = (uintptr_t)info->dlpi_addr + segment->p_vaddr;
      const uintptr_t end = start + segment->p_memsz;
      contains |= search->pc >= start && search->pc < end;
      low = start < low ? start : low;
      high = end > high ? end : high;
    } else if (segment->p_type == PT_GNU_EH_FRAME) {
      frames = segment;
    }
  }
  if (!contains) {
    return 0;
  }
  search->result->dlfo_flags = 0;
  search->result->dlfo_map_start = (void *)low;
  search->result->dlfo_map_end = (void *)high;
  search->result->dlfo_link_map = NULL;
  search->result->dlfo_eh_frame = frames != NULL ? (void *)((uintptr_t)info->dlpi_addr + frames->p_vaddr) : NULL;
  search->found = 1;
  return 1;
}

CORVANTA_LOCAL int _dl_find_object(void *pc, struct dl_find_object *result);
int _dl_find_object(void *pc, struct dl_find_object *result) {
  struct corvanta_object_search search;
  search.pc = (uintptr_t)pc;
  search.result = result;
  search.found = 0;
  dl_iterate_phdr(corvanta_visit_object, &search);
  return search.found ? 0 : -1;
}

/* ---- threads ---------------------------------------------------------------------------- */

CORVANTA_LOCAL char __libc_single_threaded = 0;

extern int corvanta_pthread_once_2_2_5(pthread_once_t *once, void (*init)(void)) __attribute__((weak));
__asm__(".symver corvanta_pthread_once_2_2_5, pthread_once@GLIBC_2.2.5");
extern int corvanta_pthread_key_create_2_2_5(pthread_key_t *key, void (*destroy)(void *)) __attribute__((weak));
__asm__(".symver corvanta_pthread_key_create_2_2_5, __pthread_key_create@GLIBC_2.2.5");

CORVANTA_LOCAL int __wrap_pthread_once(pthread_once_t *once, void (*init)(void));
int __wrap_pthread_once(pthread_once_t *once, void (*init)(void)) {
  if (corvanta_pthread_once_2_2_5 != NULL) {
    return corvanta_pthread_once_2_2_5(once, init);
  }
  /* No thread library: the process has one thread. */
  if (*once == PTHREAD_ONCE_INIT) {
    *once = PTHREAD_ONCE_INIT + 1;
    init();
  }
  return 0;
}

CORVANTA_LOCAL int __wrap___pthread_key_create(pthread_key_t *key, void (*destroy)(void *));
int __wrap___pthread_key_create(pthread_key_t *key, void (*destroy)(void *)) {
  return corvanta_pthread_key_create_2_2_5 != NULL ? corvanta_pthread_key_create_2_2_5(key, destroy) : ENOSYS;
}

/* Thread-specific data and read-write locks: std::from_chars (the vehicle file readers' number
   parser) brings the C++ runtime's memory resources with it, whose pool resource (never used by
   the FMUs) refers to these under their 2.34 versions.  They go to their first versions, in
   libpthread before 2.34; without it the process has one thread: no key can be made, and a
   lock has no one to exclude. */
extern int corvanta_pthread_key_delete_2_2_5(pthread_key_t key) __attribute__((weak));
__asm__(".symver corvanta_pthread_key_delete_2_2_5, pthread_key_delete@GLIBC_2.2.5");
extern int corvanta_pthread_key_create_plain_2_2_5(pthread_key_t *key, void (*destroy)(void *)) __attribute__((weak));
__asm__(".symver corvanta_pthread_key_create_plain_2_2_5, pthread_key_create@GLIBC_2.2.5");
extern void *corvanta_pthread_getspecific_2_2_5(pthread_key_t key) __attribute__((weak));
__asm__(".symver corvanta_pthread_getspecific_2_2_5, pthread_getspecific@GLIBC_2.2.5");
extern int corvanta_pthread_setspecific_2_2_5(pthread_key_t key, const void *value) __attribute__((weak));
__asm__(".symver corvanta_pthread_setspecific_2_2_5, pthread_setspecific@GLIBC_2.2.5");
extern int corvanta_pthread_rwlock_rdlock_2_2_5(pthread_rwlock_t *lock) __attribute__((weak));
__asm__(".symver corvanta_pthread_rwlock_rdlock_2_2_5, pthread_rwlock_rdlock@GLIBC_2.2.5");
extern int corvanta_pthread_rwlock_wrlock_2_2_5(pthread_rwlock_t *lock) __attribute__((weak));
__asm__(".symver corvanta_pthread_rwlock_wrlock_2_2_5, pthread_rwlock_wrlock@GLIBC_2.2.5");
extern int corvanta_pthread_rwlock_unlock_2_2_5(pthread_rwlock_t *lock) __attribute__((weak));
__asm__(".symver corvanta_pthread_rwlock_unlock_2_2_5, pthread_rwlock_unlock@GLIBC_2.2.5");

CORVANTA_LOCAL int __wrap_pthread_key_create(pthread_key_t *key, void (*destroy)(void *));
int __wrap_pthread_key_create(pthread_key_t *key, void (*destroy)(void *)) {
  return corvanta_pthread_key_create_plain_2_2_5 != NULL ? corvanta_pthread_key_create_plain_2_2_5(key, destroy)
                                                         : ENOSYS;
}

CORVANTA_LOCAL int __wrap_pthread_key_delete(pthread_key_t key);
int __wrap_pthread_key_delete(pthread_key_t key) {
  return corvanta_pthread_key_delete_2_2_5 != NULL ? corvanta_pthread_key_delete_2_2_5(key) : EINVAL;
}

CORVANTA_LOCAL void *__wrap_pthread_getspecific(pthread_key_t key);
void *__wrap_pthread_getspecific(pthread_key_t key) {
  return corvanta_pthread_getspecific_2_2_5 != NULL ? corvanta_pthread_getspecific_2_2_5(key) : NULL;
}

CORVANTA_LOCAL int __wrap_pthread_setspecific(pthread_key_t key, const void *value);
int __wrap_pthread_setspecific(pthread_key_t key, const void *value) {
  return corvanta_pthread_setspecific_2_2_5 != NULL ? corvanta_pthread_setspecific_2_2_5(key, value) : EINVAL;
}

CORVANTA_LOCAL int __wrap_pthread_rwlock_rdlock(pthread_rwlock_t *lock);
int __wrap_pthread_rwlock_rdlock(pthread_rwlock_t *lock) {
  return corvanta_pthread_rwlock_rdlock_2_2_5 != NULL ? corvanta_pthread_rwlock_rdlock_2_2_5(lock) : 0;
}

CORVANTA_LOCAL int __wrap_pthread_rwlock_wrlock(pthread_rwlock_t *lock);
int __wrap_pthread_rwlock_wrlock(pthread_rwlock_t *lock) {
  return corvanta_pthread_rwlock_wrlock_2_2_5 != NULL ? corvanta_pthread_rwlock_wrlock_2_2_5(lock) : 0;
}

CORVANTA_LOCAL int __wrap_pthread_rwlock_unlock(pthread_rwlock_t *lock);
int __wrap_pthread_rwlock_unlock(pthread_rwlock_t *lock) {
  return corvanta_pthread_rwlock_unlock_2_2_5 != NULL ? corvanta_pthread_rwlock_unlock_2_2_5(lock) : 0;
}

/* ---- std::random_device's sources (never used by the FMUs) ------------------------------ */

CORVANTA_LOCAL int getentropy(void *buffer, size_t length);
int getentropy(void *buffer, size_t length) {
  unsigned char *out = (unsigned char *)buffer;
  int file;
  if (length > 256) {
    errno = EIO;
    return -1;
  }
  file = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (file < 0) {
    return -1;
  }
  while (length > 0) {
    const ssize_t got = read(file, out, length);
    if (got <= 0) {
      close(file);
      errno = EIO;
      return -1;
    }
    out += got;
    length -= (size_t)got;
  }
  close(file);
  return 0;
}

CORVANTA_LOCAL uint32_t arc4random(void);
uint32_t arc4random(void) {
  uint32_t value = 0;
  if (getentropy(&value, sizeof value) != 0) {
    value = 0;
  }
  return value;
}
