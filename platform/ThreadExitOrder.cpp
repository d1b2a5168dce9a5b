// Puts the C++ runtime's per-thread destructors ahead of the emulated
// thread-locals' storage at every thread's end (MinGW builds only).
//
// With MinGW a thread's end runs its pthread key destructors in the order the
// keys were made. The key whose destructor frees the emulated thread-locals
// (libgcc) is made at the first use of any thread-local, before libstdc++'s
// key whose destructor runs the thread-locals' destructors; so a thread ending
// freed its thread-locals first and then ran their destructors on the freed
// memory (Qt's regular-expression stack among them: a worker that opened the
// archive). Under Wine that ended in an access violation inside the thread's
// end, which left a lock held that the process's own end then waited for,
// forever. Registering one destructor before anything uses a thread-local
// makes libstdc++'s key the first.
extern "C" int __cxa_thread_atexit(void (*destructor)(void *), void *object, void *dso);
extern "C" char __dso_handle;

namespace {
void nothing(void *) {}
} // namespace

// Runs before main; every program pulls it in by name (platform's link option).
extern "C" __attribute__((constructor(101))) void kfzOrderThreadExitCleanups()
{
    __cxa_thread_atexit(nothing, nullptr, &__dso_handle);
}
