/* Linked into every program and library of the coverage build only (see
 * scripts/coverage.sh); no shipped or tested build has it.
 *
 * gcov's runtime for mingw-w64 merges the counts of an ending process into
 * its .gcda files under _locking(fd, _LK_LOCK, ...). Wine's C runtime tries
 * that lock ten times a millisecond apart and then gives up, and gcov then
 * leaves the file out for that process ("profiling:...:Cannot open"): on a
 * loaded machine, where processes of one binary end together, counts get
 * lost. This _locking, which only gcov's runtime calls, waits for the lock
 * as long as a count file could take to write.
 *
 * gcov calls the C runtime's _locking through its import pointer; defining
 * that pointer here keeps the import library's own out of the link. */
#include <windows.h>
#include <io.h>
#include <sys/locking.h>

enum { kPatienceMs = 120000 };

static int __cdecl PatientLocking(int fd, int mode, long bytes) {
  HANDLE file = (HANDLE)_get_osfhandle(fd);
  LARGE_INTEGER zero = {0};
  LARGE_INTEGER position;
  OVERLAPPED range = {0};
  ULONGLONG deadline = GetTickCount64() + kPatienceMs;
  if (file == INVALID_HANDLE_VALUE || !SetFilePointerEx(file, zero, &position, FILE_CURRENT))
    return -1;
  /* As in the C runtime: |bytes| from the current position. */
  range.Offset = position.LowPart;
  range.OffsetHigh = (DWORD)position.HighPart;
  if (mode == _LK_UNLCK)
    return UnlockFileEx(file, 0, (DWORD)bytes, 0, &range) ? 0 : -1;
  for (;;) {
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, (DWORD)bytes, 0,
                   &range)) {
      return 0;
    }
    if ((mode != _LK_LOCK && mode != _LK_RLCK) || GetTickCount64() >= deadline)
      return -1;
    Sleep(5);
  }
}

int(__cdecl* __imp__locking)(int, int, long) = PatientLocking;
