/* Writes COUNT pseudo-random bytes made from SEED to standard output:
 * incompressible content that is the same on every machine.
 *
 *   bench_bytes SEED COUNT
 *
 * splitmix64, which is fast and good enough that LZMA finds nothing to
 * squeeze out of it. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static uint64_t next(uint64_t* state) {
    uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fputs("usage: bench_bytes SEED COUNT\n", stderr);
        return 2;
    }
    uint64_t state = strtoull(argv[1], NULL, 0);
    unsigned long long remaining = strtoull(argv[2], NULL, 0);
    unsigned char block[1 << 16];
    while (remaining > 0) {
        for (size_t at = 0; at < sizeof block; at += 8) {
            const uint64_t value = next(&state);
            memcpy(block + at, &value, 8);
        }
        const size_t count = remaining < sizeof block ? (size_t)remaining : sizeof block;
        if (fwrite(block, 1, count, stdout) != count) {
            perror("bench_bytes");
            return 1;
        }
        remaining -= count;
    }
    return fflush(stdout) == 0 ? 0 : 1;
}
