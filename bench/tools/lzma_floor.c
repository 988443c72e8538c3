/* The Windows floors: the least that unpacking a payload can cost on the
 * stub's own target with the stub's own liblzma. Reads a .lzma file whole
 * and decodes it in one call into one buffer, as the stub does; then either
 * writes the buffer to a file (the stub's pattern without its two temporary
 * files and without unpacking entries), or, with --entries, writes each
 * entry of the package archive into DIR with one create, one write and one
 * close, each folder made once (the least file work for the stub's
 * result). Built by bench/run for each Windows target and linked like the
 * stub (static liblzma, LZMA_API_STATIC).
 *
 *   lzma_floor.exe INPUT.lzma OUTPUT
 *   lzma_floor.exe --entries INPUT.lzma DIR
 *
 * Exit status 0 when OUTPUT holds the whole decoded stream (or DIR every
 * entry); 2 usage, 3 the input cannot be read, 4 it does not decode (or
 * states no size, or is no archive), 5 the output cannot be written. */
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

/* The archive: "HEN", three 32-bit counts, then per entry its name's
 * length, the name, the data's size and the data, little-endian. */
enum { kArchiveHeaderSize = 15, kNameMax = 259 };

static int takeU32(const unsigned char* data, size_t size, size_t* at, uint32_t* value) {
    if (size - *at < 4) {
        return 0;
    }
    memcpy(value, data + *at, 4);
    *at += 4;
    return 1;
}

/* Makes each level of `path` up to its last backslash past `from`. */
static void makeLevels(char* path, size_t from) {
    for (char* p = path + from; *p != '\0'; ++p) {
        if (*p == '\\') {
            *p = '\0';
            CreateDirectoryA(path, NULL);
            *p = '\\';
        }
    }
}

/* 0 when every entry was written; 4 not an archive, 5 a write failed. */
static int writeEntries(const unsigned char* data, size_t size, const char* directory) {
    int32_t count = 0;
    if (size < kArchiveHeaderSize || memcmp(data, "HEN", 3) != 0) {
        return 4;
    }
    memcpy(&count, data + 3, 4);
    char path[MAX_PATH];
    char folder[MAX_PATH] = "";
    const size_t base = strlen(directory) + 1;
    if (base >= sizeof path) {
        return 2;
    }
    memcpy(path, directory, base - 1);
    path[base - 1] = '\\';
    CreateDirectoryA(directory, NULL);
    size_t at = kArchiveHeaderSize;
    for (int32_t i = 0; i < count; ++i) {
        uint32_t nameLength = 0;
        uint32_t dataSize = 0;
        if (!takeU32(data, size, &at, &nameLength) || nameLength == 0 || nameLength > kNameMax ||
            size - at < nameLength) {
            return 4;
        }
        if (base + nameLength >= sizeof path) {
            return 5;
        }
        memcpy(path + base, data + at, nameLength);
        path[base + nameLength] = '\0';
        at += nameLength;
        if (!takeU32(data, size, &at, &dataSize) || size - at < dataSize) {
            return 4;
        }
        const char* last = strrchr(path, '\\');
        const size_t folderLength = (size_t)(last - path);
        if (folderLength > base - 1 &&
            (strlen(folder) != folderLength || memcmp(folder, path, folderLength) != 0)) {
            makeLevels(path, base);
            memcpy(folder, path, folderLength);
            folder[folderLength] = '\0';
        }
        if (!writeWhole(path, data + at, dataSize)) {
            return 5;
        }
        at += dataSize;
    }
    return 0;
}

int main(int argc, char** argv) {
    const int entries = argc == 4 && strcmp(argv[1], "--entries") == 0;
    if (argc != 3 && !entries) {
        return 2;
    }
    size_t fileSize = 0;
    unsigned char* file = readWhole(argv[1 + entries], &fileSize);
    if (file == NULL || fileSize < kHeaderSize) {
        return 3;
    }
    unsigned char* output = NULL;
    const size_t size = decodeOnce(file, fileSize, &output);
    HeapFree(GetProcessHeap(), 0, file);
    int status = size == 0 ? 4 : 0;
    if (status == 0 && entries) {
        status = writeEntries(output, size, argv[3]);
    } else if (status == 0 && !writeWhole(argv[2], output, size)) {
        status = 5;
    }
    if (output != NULL) {
        HeapFree(GetProcessHeap(), 0, output);
    }
    return status;
}
