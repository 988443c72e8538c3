/* The Windows floor: the least that unpacking a payload can cost on the
 * stub's own target with the stub's own liblzma. Reads a .lzma file whole,
 * decodes it in one call into one buffer, as the stub does, and writes the
 * buffer to a file: the stub's pattern without its two temporary files and
 * without unpacking entries. Built by bench/run for each Windows target and
 * linked like the stub (static liblzma, LZMA_API_STATIC).
 *
 *   lzma_floor.exe INPUT.lzma OUTPUT
 *
 * Exit status 0 when OUTPUT holds the whole decoded stream; 2 usage, 3 the
 * input cannot be read, 4 it does not decode (or states no size), 5 the
 * output cannot be written. */
#include <lzma.h>
#include <stdint.h>
#include <string.h>
#include <windows.h>

enum { kHeaderSize = 13, kMinDictionary = 4096 };

/* At most this much per ReadFile or WriteFile call (their counts are DWORD). */
static const DWORD kChunk = 1u << 30;

static unsigned char* readWhole(const char* path, size_t* size) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return NULL;
    }
    LARGE_INTEGER length;
    unsigned char* data = NULL;
    if (GetFileSizeEx(file, &length) && (uint64_t)length.QuadPart <= SIZE_MAX - 1) {
        *size = (size_t)length.QuadPart;
        data = HeapAlloc(GetProcessHeap(), 0, *size + 1);
    }
    size_t done = 0;
    while (data != NULL && done < *size) {
        const size_t left = *size - done;
        DWORD got = 0;
        if (!ReadFile(file, data + done, left < kChunk ? (DWORD)left : kChunk, &got, NULL) ||
            got == 0) {
            HeapFree(GetProcessHeap(), 0, data);
            data = NULL;
            break;
        }
        done += got;
    }
    CloseHandle(file);
    return data;
}

static int writeWhole(const char* path, const unsigned char* data, size_t size) {
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return 0;
    }
    size_t done = 0;
    while (done < size) {
        const size_t left = size - done;
        DWORD wrote = 0;
        if (!WriteFile(file, data + done, left < kChunk ? (DWORD)left : kChunk, &wrote, NULL) ||
            wrote == 0) {
            break;
        }
        done += wrote;
    }
    return CloseHandle(file) && done == size;
}

/* The stub's decode: a raw LZMA1 decoder with the header's properties and a
 * dictionary no larger than the output, given all input and all output in
 * one lzma_code call. */
static size_t decodeOnce(const unsigned char* file, size_t fileSize, unsigned char** output) {
    uint32_t outputSize = 0;
    uint32_t dictionary = 0;
    uint32_t high = 0;
    memcpy(&dictionary, file + 1, 4);
    memcpy(&outputSize, file + 5, 4);
    memcpy(&high, file + 9, 4);
    unsigned properties = file[0];
    if (high != 0 || outputSize == 0 || properties >= 9 * 5 * 5) {
        return 0;
    }
    lzma_options_lzma options;
    memset(&options, 0, sizeof options);
    options.lc = properties % 9;
    options.lp = properties / 9 % 5;
    options.pb = properties / 45;
    options.dict_size = dictionary < outputSize ? dictionary : outputSize;
    if (options.dict_size < kMinDictionary) {
        options.dict_size = kMinDictionary;
    }
    const lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, NULL}};
    *output = HeapAlloc(GetProcessHeap(), 0, outputSize);
    lzma_stream stream = LZMA_STREAM_INIT;
    if (*output == NULL || lzma_raw_decoder(&stream, filters) != LZMA_OK) {
        lzma_end(&stream);
        return 0;
    }
    stream.next_in = file + kHeaderSize;
    stream.avail_in = fileSize - kHeaderSize;
    stream.next_out = *output;
    stream.avail_out = outputSize;
    const lzma_ret status = lzma_code(&stream, LZMA_FINISH);
    const size_t produced = outputSize - stream.avail_out;
    lzma_end(&stream);
    const int decoded = status == LZMA_OK || status == LZMA_STREAM_END;
    return decoded && produced == outputSize ? produced : 0;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    size_t fileSize = 0;
    unsigned char* file = readWhole(argv[1], &fileSize);
    if (file == NULL || fileSize < kHeaderSize) {
        return 3;
    }
    unsigned char* output = NULL;
    const size_t size = decodeOnce(file, fileSize, &output);
    HeapFree(GetProcessHeap(), 0, file);
    const int written = size != 0 && writeWhole(argv[2], output, size);
    if (output != NULL) {
        HeapFree(GetProcessHeap(), 0, output);
    }
    return size == 0 ? 4 : written ? 0 : 5;
}
