/* The driver manager and the drivers are not ours: what they keep until the process ends is not
 * the engine's leak. */
const char* __lsan_default_suppressions(void)
{
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
