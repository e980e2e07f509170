/* The driver manager and the drivers are not ours: what they keep until the process ends is not
 * the engine's leak. */
const char* __lsan_default_suppressions(void) {
    return "leak:libodbc.so\n"
           "leak:libodbcinst.so\n"
           "leak:libsqlite3odbc\n"
           "leak:libsqlite3.so\n"
           "leak:psqlodbc\n"
           "leak:libpq.so\n"
           "leak:libltdl.so\n"
           "leak:libgssapi\n"
           "leak:libkrb5\n"
           "leak:libcrypto.so\n"
           "leak:libssl.so\n";
}

/* Allocations made inside the uninstrumented driver manager are only attributed to it (and so
 * matched by the suppressions above) when the stack is unwound without frame pointers. */
const char* __asan_default_options(void) { return "fast_unwind_on_malloc=0"; }
