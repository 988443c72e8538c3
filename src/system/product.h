// The installed product's names, as the registry and the shortcuts show them.
#pragma once

constexpr const char* kProductName = "Vemlo Reader";
constexpr const char* kProgramBaseName = "Vemlo Reader";
constexpr const char* kProgramFileName = "Vemlo Reader.exe";
constexpr const char* kUninstallerBaseName = "Uninstall";
constexpr const char* kUninstallerFileName = "Uninstall.exe";
constexpr const char* kStartMenuFolderName = "Vemlo Reader";
constexpr const char* kDefaultIconText = "Vemlo Reader.exe,1";
constexpr const char* kDocumentProgId = "VemloReader.Document";

constexpr const char* kDocumentIconKey = "SOFTWARE\\Classes\\VemloReader.Document\\DefaultIcon";
constexpr const char* kPdfTypeKey = "Software\\Classes\\.pdf";
constexpr const char* kPdfContentTypeKey =
    "SOFTWARE\\Classes\\MIME\\Database\\Content Type\\application/pdf";
constexpr const char* kApplicationKey = "Software\\Vemlo Software\\Vemlo Reader";
constexpr const char* kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vemlo Reader";
