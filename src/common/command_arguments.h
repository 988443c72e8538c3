// The arguments of a command-line tail, as our programs' switches read
// them: blanks outside quotes separate them, quotes are taken out, and
// letters compare ignoring ASCII case. A quote or blank is never the trail
// byte of a double-byte character, so bytes are compared.
#pragma once

// Reads the argument at `p` into `out` (260 bytes, zero-filled first) and
// returns where it ends. `quoted` tells whether it began with a quote;
// `fits` is false when it was cut to fit `out`.
const char* nextArgument(const char* p, char* out, bool* quoted, bool* fits);

// `p` past blanks and control characters.
const char* skipBlanks(const char* p);

// True when `text` starts with `word` (in lower case), ignoring ASCII case.
bool startsWithIgnoringCase(const char* text, const char* word);

// True when the two texts are equal ignoring ASCII case.
bool equalsIgnoringCase(const char* a, const char* b);
