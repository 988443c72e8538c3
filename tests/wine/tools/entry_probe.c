/* The designated entry of the tests' own payloads: started by the stub, it
 * writes "entry_probe.txt" beside itself, telling where it was started from
 * and who may enter its folder. Usage: entry_probe [FOLDER REPORT] reports
 * on FOLDER into REPORT instead.
 *
 * The report, one "key=value" a line:
 *   module=  its own path (GetModuleFileNameA)
 *   folder=  the folder reported on
 *   user=    the process's user
 *   owner=   the folder's owner
 *   dacl=    present, null (everyone may do anything) or error
 *   ace=     one line per entry of the DACL: allowed, denied or other, then
 *            who (user, system, administrators, users, everyone,
 *            authenticated-users or other, found by comparing the SIDs),
 *            the SID, the flags and the access mask
 * Exit code 0 once the report is written whole, 1 otherwise. */
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <stdio.h>
#include <string.h>

static FILE* report;

static void printSid(const char* key, PSID sid) {
    char* text = NULL;
    if (sid != NULL && ConvertSidToStringSidA(sid, &text)) {
        fprintf(report, "%s=%s\n", key, text);
        LocalFree(text);
    } else {
        fprintf(report, "%s=?\n", key);
    }
}

static const char* whoIs(PSID sid, PSID user) {
    static const struct {
        WELL_KNOWN_SID_TYPE type;
        const char* name;
    } known[] = {
        {WinLocalSystemSid, "system"},
        {WinBuiltinAdministratorsSid, "administrators"},
        {WinBuiltinUsersSid, "users"},
        {WinWorldSid, "everyone"},
        {WinAuthenticatedUserSid, "authenticated-users"},
    };
    size_t i;
    if (user != NULL && EqualSid(sid, user)) {
        return "user";
    }
    for (i = 0; i < sizeof known / sizeof known[0]; ++i) {
        if (IsWellKnownSid(sid, known[i].type)) {
            return known[i].name;
        }
    }
    return "other";
}

static void printAce(void* ace, PSID user) {
    const ACE_HEADER* header = (const ACE_HEADER*)ace;
    const char* kind = "other";
    PSID sid = NULL;
    ACCESS_MASK mask = 0;
    if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
        kind = "allowed";
        sid = &((ACCESS_ALLOWED_ACE*)ace)->SidStart;
        mask = ((ACCESS_ALLOWED_ACE*)ace)->Mask;
    } else if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
        kind = "denied";
        sid = &((ACCESS_DENIED_ACE*)ace)->SidStart;
        mask = ((ACCESS_DENIED_ACE*)ace)->Mask;
    }
    if (sid == NULL) {
        fprintf(report, "ace=other other ? 0x%x 0x0\n", (unsigned)header->AceFlags);
        return;
    }
    {
        char* text = NULL;
        const int converted = ConvertSidToStringSidA(sid, &text);
        fprintf(report, "ace=%s %s %s 0x%x 0x%lx\n", kind, whoIs(sid, user), converted ? text : "?",
                (unsigned)header->AceFlags, (unsigned long)mask);
        if (converted) {
            LocalFree(text);
        }
    }
}

/* The process's user, from its token, into `buffer`. */
static PSID processUser(BYTE* buffer, DWORD size) {
    HANDLE token = NULL;
    DWORD needed = 0;
    BOOL read;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return NULL;
    }
    read = GetTokenInformation(token, TokenUser, buffer, size, &needed);
    CloseHandle(token);
    return read ? ((TOKEN_USER*)buffer)->User.Sid : NULL;
}

static void printSecurity(const char* folder) {
    DWORD userBuffer[(sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE) / sizeof(DWORD) + 1];
    PSID user = processUser((BYTE*)userBuffer, sizeof userBuffer);
    PSID owner = NULL;
    PACL dacl = NULL;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    ACL_SIZE_INFORMATION sizes;
    DWORD i;
    printSid("user", user);
    if (GetNamedSecurityInfoA(folder, SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, NULL,
                              &dacl, NULL, &descriptor) != ERROR_SUCCESS) {
        fputs("dacl=error\n", report);
        return;
    }
    printSid("owner", owner);
    if (dacl == NULL) {
        fputs("dacl=null\n", report);
    } else if (!GetAclInformation(dacl, &sizes, sizeof sizes, AclSizeInformation)) {
        fputs("dacl=error\n", report);
    } else {
        fputs("dacl=present\n", report);
        for (i = 0; i < sizes.AceCount; ++i) {
            void* ace = NULL;
            if (GetAce(dacl, i, &ace)) {
                printAce(ace, user);
            }
        }
    }
    LocalFree(descriptor);
}

int main(int argc, char** argv) {
    char module[MAX_PATH];
    char folder[MAX_PATH];
    char reportPath[MAX_PATH + 32];
    const DWORD length = GetModuleFileNameA(NULL, module, sizeof module);
    char* lastBackslash;
    if (length == 0 || length >= sizeof module || (argc != 1 && argc != 3)) {
        return 1;
    }
    memcpy(folder, module, length + 1);
    lastBackslash = strrchr(folder, '\\');
    if (lastBackslash == NULL) {
        return 1;
    }
    *lastBackslash = '\0';
    if (argc == 3) {
        if (strlen(argv[1]) >= sizeof folder || strlen(argv[2]) >= sizeof reportPath) {
            return 1;
        }
        strcpy(folder, argv[1]);
        strcpy(reportPath, argv[2]);
    } else {
        snprintf(reportPath, sizeof reportPath, "%s\\entry_probe.txt", folder);
    }
    report = fopen(reportPath, "w");
    if (report == NULL) {
        return 1;
    }
    fprintf(report, "module=%s\nfolder=%s\n", module, folder);
    printSecurity(folder);
    return fclose(report) == 0 ? 0 : 1;
}
