# Hand-written faults of the unpacking from memory and the archive file
# written beside it (/work/shared/tools/mutate mutants/unpack_stage.py).
M = [
    ("written-count-ignored", "src/payload/temp_files.cpp", "payload->size = written < resource.size ? written : resource.size;", "payload->size = resource.size;", "a short first file still decoded whole"),
    ("archive-kept-not-whole", "src/payload/lzma_stage.cpp", "    if (!whole) {\n        releaseDecodedArchive(&file.archive);", "    if (!whole && false) {\n        releaseDecodedArchive(&file.archive);", "an archive the file did not take is still handed on"),
    ("not-opened-is-success", "src/payload/lzma_stage.cpp", "    if (!file->opened) {\n        return kExitArchiveOpen;\n    }", "    if (!file->opened) {\n        return kExitSuccess;\n    }", "an archive file that could not be opened passes"),
    ("short-not-emptied", "src/payload/lzma_stage.cpp", "        platform::FileHandle emptied = createFileWhenFree(file->path);\n        if (emptied != nullptr) {\n            platform::closeFile(emptied);\n        }", "", "a cut archive file is left as it is"),
    ("close-not-counted", "src/payload/lzma_stage.cpp", "file->whole = platform::closeFile(output) && whole;", "platform::closeFile(output);\n    file->whole = whole;", "a failed close counts as whole"),
    ("install-not-waiting", "src/payload/package_archive.cpp", "    if (mode == UnpackMode::kInstall) {\n        const ExitCode written = finishArchiveFile(file);", "    if (false) {\n        const ExitCode written = finishArchiveFile(file);", "install writes entries before the archive file is whole"),
    ("extract-ignores-file", "src/payload/package_archive.cpp", "    if (written != kExitSuccess) {\n        clearBuffer(launchPath, kPathBufferSize);", "    if (written != kExitSuccess && mode == UnpackMode::kInstall) {\n        clearBuffer(launchPath, kPathBufferSize);", "extract mode ignores a failed archive file"),
    ("entry-buffer-offset", "src/payload/package_archive.cpp", "    reader->next += count;", "    reader->next += count - (count > 0 ? 1 : 0);", "the reader does not advance by whole records"),
    ("entry-close-ignored", "src/payload/package_archive.cpp", "    whole = platform::closeFile(output) && whole;\n    if (!whole) {\n        deleteFileWhenFree(path);", "    platform::closeFile(output);\n    if (!whole) {\n        deleteFileWhenFree(path);", "an entry whose close failed passes"),
    ("worker-inline-skipped", "src/payload/lzma_stage.cpp", "    if (file->writer == nullptr) {\n        writeArchiveFile(file);\n    }", "", "without a thread the archive file is never written"),
]
