// VOQKivorant: the display runs on the process main thread, the program on thread 1.
#include <cstdio>

int main(int argc, char** argv)
{
    std::fprintf(stderr, "VOQKivorant: the main frame is not built yet; nothing to show.\n");
    return 0;
}
