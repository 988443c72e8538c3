// A directory only its user, SYSTEM and the administrators may enter.
//
// Run as SYSTEM, the temporary directory is C:\Windows\Temp, where every
// local user may create files, and a folder made there with default
// security inherits that right: a user could drop a DLL into the work
// directory while it is filled, and the entry, started as SYSTEM from it,
// would load it. The folder therefore gets a protected DACL of its own.
#include "platform/platform.h"
#include "platform/win32/system_library.h"

#include <windows.h>

namespace platform::win32 {

namespace {

const char kAdvapi32[] = "advapi32.dll";

// The security functions, looked up in advapi32 only when a work directory
// is made, so that the import table stays kernel32 and the C runtime.
struct SecurityFunctions {
    decltype(&OpenProcessToken) openProcessToken;
    decltype(&GetTokenInformation) getTokenInformation;
    decltype(&CreateWellKnownSid) createWellKnownSid;
    decltype(&GetLengthSid) getLengthSid;
    decltype(&InitializeAcl) initializeAcl;
    decltype(&AddAccessAllowedAceEx) addAccessAllowedAceEx;
    decltype(&InitializeSecurityDescriptor) initializeSecurityDescriptor;
    decltype(&SetSecurityDescriptorDacl) setSecurityDescriptorDacl;
    decltype(&SetSecurityDescriptorControl) setSecurityDescriptorControl;
};

bool lookUp(SecurityFunctions* f) {
    f->openProcessToken =
        systemFunction<decltype(f->openProcessToken)>(kAdvapi32, "OpenProcessToken");
    f->getTokenInformation =
        systemFunction<decltype(f->getTokenInformation)>(kAdvapi32, "GetTokenInformation");
    f->createWellKnownSid =
        systemFunction<decltype(f->createWellKnownSid)>(kAdvapi32, "CreateWellKnownSid");
    f->getLengthSid = systemFunction<decltype(f->getLengthSid)>(kAdvapi32, "GetLengthSid");
    f->initializeAcl = systemFunction<decltype(f->initializeAcl)>(kAdvapi32, "InitializeAcl");
    f->addAccessAllowedAceEx =
        systemFunction<decltype(f->addAccessAllowedAceEx)>(kAdvapi32, "AddAccessAllowedAceEx");
    f->initializeSecurityDescriptor = systemFunction<decltype(f->initializeSecurityDescriptor)>(
        kAdvapi32, "InitializeSecurityDescriptor");
    f->setSecurityDescriptorDacl = systemFunction<decltype(f->setSecurityDescriptorDacl)>(
        kAdvapi32, "SetSecurityDescriptorDacl");
    f->setSecurityDescriptorControl = systemFunction<decltype(f->setSecurityDescriptorControl)>(
        kAdvapi32, "SetSecurityDescriptorControl");
    return f->openProcessToken && f->getTokenInformation && f->createWellKnownSid &&
           f->getLengthSid && f->initializeAcl && f->addAccessAllowedAceEx &&
           f->initializeSecurityDescriptor && f->setSecurityDescriptorDacl &&
           f->setSecurityDescriptorControl;
}

// The process's user, read from its token into `buffer`.
PSID processUser(const SecurityFunctions& f, BYTE* buffer, DWORD size) {
    HANDLE token = NULL;
    if (!f.openProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return NULL;
    }
    DWORD needed = 0;
    const BOOL read = f.getTokenInformation(token, TokenUser, buffer, size, &needed);
    CloseHandle(token);
    return read ? reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid : NULL;
}

// Everything a private directory's descriptor is built from, on the stack:
// a token user and two well-known SIDs are at most SECURITY_MAX_SID_SIZE
// each, the ACL three allowed entries.
struct PrivateDescriptor {
    DWORD userBuffer[(sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE) / sizeof(DWORD) + 1];
    DWORD systemSid[SECURITY_MAX_SID_SIZE / sizeof(DWORD)];
    DWORD administratorsSid[SECURITY_MAX_SID_SIZE / sizeof(DWORD)];
    DWORD acl[(sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)) /
              sizeof(DWORD)];
    SECURITY_DESCRIPTOR descriptor;
};

bool buildDescriptor(const SecurityFunctions& f, PrivateDescriptor* d) {
    const PSID user = processUser(f, reinterpret_cast<BYTE*>(d->userBuffer), sizeof d->userBuffer);
    DWORD systemSize = sizeof d->systemSid;
    DWORD administratorsSize = sizeof d->administratorsSid;
    if (user == NULL || !f.createWellKnownSid(WinLocalSystemSid, NULL, d->systemSid, &systemSize) ||
        !f.createWellKnownSid(WinBuiltinAdministratorsSid, NULL, d->administratorsSid,
                              &administratorsSize)) {
        return false;
    }
    ACL* acl = reinterpret_cast<ACL*>(d->acl);
    const PSID allowed[] = {user, d->systemSid, d->administratorsSid};
    if (!f.initializeAcl(acl, sizeof d->acl, ACL_REVISION)) {
        return false;
    }
    for (const PSID sid : allowed) {
        // Full control, passed on to every file and folder made inside.
        if (!f.addAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                     FILE_ALL_ACCESS, sid)) {
            return false;
        }
    }
    // Protected: the parent's inheritable entries (CREATOR OWNER, Users'
    // right to add files) stay out.
    return f.initializeSecurityDescriptor(&d->descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           f.setSecurityDescriptorDacl(&d->descriptor, TRUE, acl, FALSE) &&
           f.setSecurityDescriptorControl(&d->descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

} // namespace

bool createPrivateDirectory(const char* path) {
    SecurityFunctions functions;
    PrivateDescriptor descriptor;
    // Without its descriptor the directory is not made at all: a folder that
    // anyone may write to is worse than none.
    if (!lookUp(&functions) || !buildDescriptor(functions, &descriptor)) {
        return false;
    }
    SECURITY_ATTRIBUTES attributes;
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = &descriptor.descriptor;
    attributes.bInheritHandle = FALSE;
    return CreateDirectoryA(path, &attributes) != FALSE;
}

} // namespace platform::win32
