// Fuzzes the command line: any process command line through
// commandLineTail, in a single-byte and in the double-byte code page 932,
// and the tail and the whole line through parseRunOptions. The checks do
// not restate the rules: they are bounds (the tail lies inside the line,
// the target is a terminated, zero-filled copy of text in front of a
// quote), what can only be (a switch only where " /d" or " /s" follows the
// last quote), and how the results must move when the input changes in
// known ways (a program name put in front, switches appended, the text
// after the last quote cut short, letters of other case, other text inside
// the quotes). A small table of known command lines anchors them, checked
// once.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "app/command_line.h"
#include "app/run_options.h"
#include "platform/posix/posix_impl.h"
#include "support/finding.h"

namespace {

struct Parsed {
    RunOptions options;
    bool tooLong;
};

Parsed parse(const std::string& tail) {
    Parsed parsed;
    parsed.tooLong = true;
    parsed.options = parseRunOptions(tail.c_str(), &parsed.tooLong);
    return parsed;
}

bool sameExceptSwitches(const Parsed& a, const Parsed& b) {
    return a.options.installMode == b.options.installMode && a.tooLong == b.tooLong &&
           strcmp(a.options.targetDirectory, b.options.targetDirectory) == 0;
}

// The text after the last quote, or all of it when there is none.
std::string afterLastQuote(const std::string& text) {
    const size_t quote = text.rfind('"');
    return quote == std::string::npos ? text : text.substr(quote + 1);
}

bool holdsSwitch(const std::string& text, char letter) {
    const std::string lower = std::string(" /") + letter;
    const std::string upper = std::string(" /") + static_cast<char>(letter - 'a' + 'A');
    return text.find(lower) != std::string::npos || text.find(upper) != std::string::npos;
}

// Bounds and what can only be, for any tail.
void checkBounds(const std::string& tail, const Parsed& parsed) {
    const char* const target = parsed.options.targetDirectory;
    const size_t capacity = sizeof parsed.options.targetDirectory;
    if (memchr(target, '\0', capacity) == nullptr) {
        finding::fail("targetDirectory is not terminated", tail);
    }
    const size_t length = strlen(target);
    for (size_t i = length; i < capacity; ++i) {
        if (target[i] != '\0') {
            finding::fail("targetDirectory has bytes after its end", tail);
        }
    }
    // A nonempty target is copied from just after the first character, and
    // a quote ends it.
    if (length != 0 && (tail.compare(1, length, target) != 0 || tail[1 + length] != '"')) {
        finding::fail("targetDirectory is not the text in front of a quote", tail);
    }
    const size_t lastQuote = tail.rfind('"');
    if (parsed.tooLong &&
        (length != 0 || lastQuote == std::string::npos || lastQuote < 1 + capacity)) {
        finding::fail("targetTooLong without a quoted text too long for the buffer", tail);
    }
    if (parsed.options.installMode && (tail[0] != '"' || tail.find('"', 1) == std::string::npos)) {
        finding::fail("install mode without a quoted directory", tail);
    }
    const std::string switches = afterLastQuote(tail);
    if ((parsed.options.desktopShortcut && !holdsSwitch(switches, 'd')) ||
        (parsed.options.startMenuShortcuts && !holdsSwitch(switches, 's'))) {
        finding::fail("a switch where no \" /d\" or \" /s\" follows the last quote", tail);
    }
}

// How the options move when the tail changes in known ways.
void checkVariants(const std::string& tail, const Parsed& parsed) {
    // Text without a quote appended changes neither the mode nor the target,
    // and takes no switch away; a switch after seven blanks lies past the
    // first eight positions, where every switch counts.
    const Parsed longer = parse(tail + "       /d       /S");
    if (!sameExceptSwitches(longer, parsed) || !longer.options.desktopShortcut ||
        !longer.options.startMenuShortcuts) {
        finding::fail("switches appended after the last quote did not count alone", tail);
    }
    // The same seen from the other side: the tail cut halfway through what
    // follows its last quote holds no switch that the whole tail lacks.
    const size_t lastQuote = tail.rfind('"');
    const bool quoted = lastQuote != std::string::npos;
    const size_t switchesStart = quoted ? lastQuote + 1 : 0;
    const Parsed shorter = parse(tail.substr(0, switchesStart + (tail.size() - switchesStart) / 2));
    if (!sameExceptSwitches(shorter, parsed) ||
        (shorter.options.desktopShortcut && !parsed.options.desktopShortcut) ||
        (shorter.options.startMenuShortcuts && !parsed.options.startMenuShortcuts)) {
        finding::fail("text after the last quote took away a switch or changed the target", tail);
    }

    // The switches' letters count in either case, and nothing between the
    // first character and the last quote is a switch: with the letters
    // after the last quote in the other case and other text inside the
    // quotes, only the target's text may change, not its length.
    std::string other = tail;
    for (size_t i = 1; i < other.size(); ++i) {
        const char c = other[i];
        if (quoted && i < lastQuote) {
            other[i] = c == '"' ? '"' : (c == 'x' ? 'y' : 'x');
        } else if (!quoted || i > lastQuote) {
            other[i] =
                c == 'd' || c == 's' || c == 'D' || c == 'S' ? static_cast<char>(c ^ 0x20) : c;
        }
    }
    const Parsed changed = parse(other);
    if (changed.options.installMode != parsed.options.installMode ||
        changed.tooLong != parsed.tooLong ||
        changed.options.desktopShortcut != parsed.options.desktopShortcut ||
        changed.options.startMenuShortcuts != parsed.options.startMenuShortcuts ||
        strlen(changed.options.targetDirectory) != strlen(parsed.options.targetDirectory)) {
        finding::fail("other case after the last quote or other text inside the quotes "
                      "changed more than the target's text",
                      tail);
    }
}

// Program names in the forms a command line may start with; the last one
// ends in a lead byte of code page 932, which must not take the closing
// quote along.
const char* const kProgramNames[] = {"setup.exe ", "\"C:\\My Setup\\setup.exe\"  ", "\"setup.exe\"",
                                     "setup.exe\t\x01 ", "\"C:\\setup\x83\" "};

// The tail's offset in the line, checked.
size_t checkTail(const std::string& line) {
    const char* tail = commandLineTail(line.c_str());
    if (tail < line.c_str() || tail > line.c_str() + line.size()) {
        finding::fail("tail points outside the command line", line);
    }
    const unsigned char first = static_cast<unsigned char>(tail[0]);
    if (first != 0 && first <= ' ') {
        finding::fail("tail starts with a blank", line);
    }
    // Whatever a tail holds, it comes back whole behind any program name.
    const std::string rest = tail;
    for (const char* name : kProgramNames) {
        const std::string composed = name + rest;
        if (commandLineTail(composed.c_str()) != composed.c_str() + strlen(name)) {
            finding::fail("a tail behind a known program name did not come back whole", composed);
        }
    }
    return static_cast<size_t>(tail - line.c_str());
}

struct KnownLine {
    const char* line;
    const char* tail;
    bool installMode;
    const char* target;
    bool desktop;
    bool startMenu;
};

// Command lines whose options are known from the documentation and the
// unit tests, not from this file.
const KnownLine kKnownLines[] = {
    {"setup.exe", "", false, "", false, false},
    {"\"C:\\Program Files\\setup.exe\" \"C:\\Program Files\\Tools\" /d /s",
     "\"C:\\Program Files\\Tools\" /d /s", true, "C:\\Program Files\\Tools", true, true},
    {"setup.exe \"C:\\Apps\" /S", "\"C:\\Apps\" /S", true, "C:\\Apps", false, true},
    {"setup.exe \"C:\\\" /d", "\"C:\\\" /d", true, "C:\\", false, false},
    {"setup.exe \"C:\\\"  /d", "\"C:\\\"  /d", true, "C:\\", true, false},
    {"setup.exe \"C:\\a /d b\"", "\"C:\\a /d b\"", true, "C:\\a /d b", false, false},
    {"setup.exe \"C:\\Apps\"/d", "\"C:\\Apps\"/d", true, "C:\\Apps", false, false},
    {"setup.exe \"C:\\Apps", "\"C:\\Apps", false, "", false, false},
    {"setup.exe \"C:\\My \"new\" Apps\" /D", "\"C:\\My \"new\" Apps\" /D", true,
     "C:\\My \"new\" Apps", true, false},
    {"\"setup\x83\" \"D:\\\x83\x5c\" /s", "\"D:\\\x83\x5c\" /s", true, "D:\\\x83\x5c", false, true},
    {"setup.exe /d /s", "/d /s", false, "", false, false},
    {"x \"C:\\Apps\" /desktop /sd", "\"C:\\Apps\" /desktop /sd", true, "C:\\Apps", true, true},
};

void checkKnownLinesInThisCodePage() {
    for (const KnownLine& known : kKnownLines) {
        const char* tail = commandLineTail(known.line);
        const Parsed parsed = parse(tail);
        if (strcmp(tail, known.tail) != 0 || parsed.tooLong ||
            parsed.options.installMode != known.installMode ||
            strcmp(parsed.options.targetDirectory, known.target) != 0 ||
            parsed.options.desktopShortcut != known.desktop ||
            parsed.options.startMenuShortcuts != known.startMenu) {
            finding::fail("a known command line gives other options", known.line);
        }
    }
    // A directory of 300 characters does not fit; the switch still counts.
    const Parsed cut = parse("\"C:\\" + std::string(297, 'x') + "\" /s");
    if (!cut.tooLong || !cut.options.installMode || cut.options.targetDirectory[0] != '\0' ||
        !cut.options.startMenuShortcuts) {
        finding::fail("a known command line gives other options", "a 300-character directory");
    }
}

// Single-byte, and double-byte with lead bytes 0x81-0x9F and 0xE0-0xFC.
const unsigned kCodePages[] = {1252, 932};

void checkKnownLines() {
    for (const unsigned codePage : kCodePages) {
        posix::setAnsiCodePage(codePage);
        checkKnownLinesInThisCodePage();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The command line is a C string: it ends at the first zero byte.
    const std::string line(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), size));
    static const bool known = (checkKnownLines(), true);
    (void)known;
    // Finding the tail walks characters; parsing it does not, so the
    // options are checked once for each tail found.
    size_t parsedOffset = std::string::npos;
    for (const unsigned codePage : kCodePages) {
        posix::setAnsiCodePage(codePage);
        const size_t offset = checkTail(line);
        if (offset != parsedOffset) {
            const std::string tail = line.substr(offset);
            checkBounds(tail, parse(tail));
            parsedOffset = offset;
        }
    }
    // The whole line as a tail too, which may be any text: it reaches the
    // quote and switch rules with no program name in front, and is the one
    // the variants start from.
    const Parsed parsed = parse(line);
    checkBounds(line, parsed);
    checkVariants(line, parsed);
    return 0;
}
