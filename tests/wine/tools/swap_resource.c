/* Copies a program and replaces its "PACKAGE" 105 resource with the bytes
 * of a file, so that a test can give the built stub another payload without
 * building it again. Usage: swap_resource IN.exe OUT.exe PAYLOAD
 *
 * Every language version of the resource is removed and the new bytes are
 * stored under the language of the first one found, so the program finds
 * exactly the new payload whatever language it asks for. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#define kResourceType "PACKAGE"
#define kResourceId MAKEINTRESOURCEA(105)

enum { kMaxLanguages = 16 };

typedef struct {
    WORD ids[kMaxLanguages];
    int count;
} Languages;

static BOOL CALLBACK collectLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language,
                                     LONG_PTR context) {
    Languages* languages = (Languages*)context;
    (void)module;
    (void)type;
    (void)name;
    if (languages->count == kMaxLanguages) {
        return FALSE;
    }
    languages->ids[languages->count++] = language;
    return TRUE;
}

static int findLanguages(const char* path, Languages* languages) {
    HMODULE module = LoadLibraryExA(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
    memset(languages, 0, sizeof *languages);
    if (module == NULL) {
        return 0;
    }
    EnumResourceLanguagesA(module, kResourceType, kResourceId, collectLanguage,
                           (LONG_PTR)languages);
    FreeLibrary(module);
    return languages->count > 0;
}

/* Reads a whole file into a heap block; returns NULL on failure. */
static char* readFile(const char* path, DWORD* size) {
    FILE* file = fopen(path, "rb");
    char* bytes = NULL;
    long length;
    *size = 0;
    if (file == NULL) {
        return NULL;
    }
    if (fseek(file, 0, SEEK_END) == 0 && (length = ftell(file)) >= 0 &&
        fseek(file, 0, SEEK_SET) == 0) {
        /* One extra byte so that an empty payload still gets a block. */
        bytes = (char*)malloc((size_t)length + 1);
        if (bytes != NULL && fread(bytes, 1, (size_t)length, file) == (size_t)length) {
            *size = (DWORD)length;
        } else {
            free(bytes);
            bytes = NULL;
        }
    }
    fclose(file);
    return bytes;
}

int main(int argc, char** argv) {
    Languages languages;
    HANDLE update;
    DWORD payloadSize = 0;
    char* payload;
    int i;
    BOOL ok = TRUE;

    if (argc != 4) {
        fputs("usage: swap_resource IN.exe OUT.exe PAYLOAD\n", stderr);
        return 2;
    }
    if (!findLanguages(argv[1], &languages)) {
        fprintf(stderr, "swap_resource: %s has no resource %s 105\n", argv[1], kResourceType);
        return 1;
    }
    payload = readFile(argv[3], &payloadSize);
    if (payload == NULL) {
        fprintf(stderr, "swap_resource: cannot read %s\n", argv[3]);
        return 1;
    }
    if (!CopyFileA(argv[1], argv[2], FALSE)) {
        fprintf(stderr, "swap_resource: cannot copy %s to %s\n", argv[1], argv[2]);
        free(payload);
        return 1;
    }
    update = BeginUpdateResourceA(argv[2], FALSE);
    if (update == NULL) {
        fprintf(stderr, "swap_resource: cannot update %s\n", argv[2]);
        free(payload);
        return 1;
    }
    for (i = 0; i < languages.count; ++i) {
        ok = ok && UpdateResourceA(update, kResourceType, kResourceId, languages.ids[i], NULL, 0);
    }
    ok = ok && UpdateResourceA(update, kResourceType, kResourceId, languages.ids[0], payload,
                               payloadSize);
    free(payload);
    if (!EndUpdateResourceA(update, !ok) || !ok) {
        fprintf(stderr, "swap_resource: cannot write the resource into %s\n", argv[2]);
        return 1;
    }
    return 0;
}
