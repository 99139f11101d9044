// Stands in for the server program beside the client suite: records its argument vector in
// "server_arguments.txt" of its working directory, each argument ended by a NUL byte (which no
// argument can hold), written under a temporary name and then renamed.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    std::FILE* out = std::fopen("server_arguments.tmp", "wb");
    if (!out) return 1;
    for (int i = 1; i < argc; ++i) std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, out);
    if (std::fclose(out) != 0) return 1;
    return std::rename("server_arguments.tmp", "server_arguments.txt") == 0 ? 0 : 1;
}
