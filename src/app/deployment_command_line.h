// The command lines that deployment tools build for a described setup, on
// top of the quoted-directory form: "/install", "/dir=PATH" or
// "/dir="PATH"", "/allusers", "/currentuser", "/d" and "/s", in any order
// and any case.
#pragma once

#include "app/run_options.h"
#include "system/product_registration.h"

struct DeploymentRequest {
    InstallScope scope;
    bool defaultFolder; // install mode without a directory: the product's default folder
};

// Parses the tail. A tail without any of "/install", "/dir=", "/allusers"
// or "/currentuser" is parsed exactly as parseRunOptions parses it.
// Otherwise it is install mode; the directory comes from the last "/dir=",
// else from a quoted argument that is no switch, else the default folder.
// `targetRefused` is set for a directory that is empty or does not fit.
RunOptions parseDeploymentCommandLine(const char* tail, DeploymentRequest* request,
                                      bool* targetRefused);

// The command line of a described setup with its directory decided: the
// default folder where none is given, for every user when `*machineWide`.
// A folder that cannot be located sets `targetRefused`.
RunOptions parseDescribedRunOptions(const char* tail, const char* product, bool* machineWide,
                                    bool* targetRefused);

// The default folder of `product`: "<Program Files>\<product>" machine-wide,
// "<Local AppData>\Programs\<product>" for one user. False when the folder
// cannot be located or the path would not fit in 260 bytes.
bool defaultInstallFolder(const char* product, bool machineWide, char* target);
