// Hands a fuzz input to a reader that takes a file name: the bytes go into
// an anonymous in-memory file, reachable under /proc/self/fd/N, so no input
// touches the disk and nothing is left behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

struct fuzz_file {
    int fd = -1;
    std::string path;

    fuzz_file(const uint8_t* data, size_t size)
    {
        fd = memfd_create("fuzz-input", 0);
        if (fd < 0) {
            perror("memfd_create");
            abort();
        }
        size_t put = 0;
        while (put < size) {
            ssize_t w = write(fd, data + put, size - put);
            if (w <= 0) {
                perror("write");
                abort();
            }
            put += static_cast<size_t>(w);
        }
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    ~fuzz_file() { close(fd); }
    fuzz_file(const fuzz_file&) = delete;
    fuzz_file& operator=(const fuzz_file&) = delete;
};
