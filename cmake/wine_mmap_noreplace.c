/* Preloaded into 32-bit Wine when its loader runs under QEMU user-mode
 * emulation (see wine.sh). QEMU takes the mmap flag MAP_FIXED_NOREPLACE as
 * a mere hint and answers with a mapping somewhere else; Wine, which
 * reserves its address space with that flag, then halves the refused range
 * again and again, tens of thousands of slow calls for every process start.
 * Here the flag has the kernel's meaning again: the mapping is made at the
 * asked address or not at all, and then the call fails with EEXIST.
 *
 * Built for i386 with -nostdlib, so no 32-bit C headers or libraries are
 * needed: syscall() and __errno_location() come from the C library of the
 * process that loads it. */

typedef __SIZE_TYPE__ size_t;

extern long syscall(long number, ...);
extern int *__errno_location(void);

enum {
  kSysMunmap = 91, /* i386 system call numbers */
  kSysMmap2 = 192, /* offset in pages of 4096 bytes */
  kMapFixed = 0x10,
  kMapFixedNoreplace = 0x100000,
  kEinval = 22,
  kEexist = 17,
};
#define MAP_FAILED ((void *)-1)

static void *fail(int error) {
  *__errno_location() = error;
  return MAP_FAILED;
}

void *mmap64(void *address, size_t length, int protection, int flags, int fd,
             long long offset) {
  if (offset & 4095) return fail(kEinval);
  unsigned long pages = (unsigned long)(offset >> 12);
  if (!(flags & kMapFixedNoreplace))
    return (void *)syscall(kSysMmap2, address, length, protection, flags, fd,
                           pages);
  /* As a hint, the address is taken where it is free. */
  void *mapped =
      (void *)syscall(kSysMmap2, address, length, protection,
                      flags & ~(kMapFixed | kMapFixedNoreplace), fd, pages);
  if (mapped == MAP_FAILED || mapped == address) return mapped;
  syscall(kSysMunmap, mapped, length);
  return fail(kEexist);
}

void *mmap(void *address, size_t length, int protection, int flags, int fd,
           long offset) {
  /* The C library reads a 32-bit offset as unsigned. */
  return mmap64(address, length, protection, flags, fd,
                (unsigned long)offset);
}
