#!/usr/bin/env bash
# Makes the benchmark payloads from files this machine already has, the
# same bytes on every run (no downloads), and packs each two ways: with
# vempack (the stub's payload, its default dictionary) and as an NSIS
# installer with NSIS's defaults (solid LZMA, 8 MiB dictionary); both lc 3,
# lp 0, pb 2. real-tree and small-files get a second NSIS installer with a
# 64 MiB dictionary, for the size comparison.
#
#   bench/make-payloads.sh OUT_DIR VEMPACK BENCH_BYTES [NAME]...
#
# OUT_DIR/<name>/ receives files/ (the entries, in folders for real-tree and
# small-files), payload.lzma, nsis.exe (nsis-64.exe) and manifest.txt, for
# <name> in shipped-size, many-files, large, real-tree and small-files (or
# the NAMEs given). A payload whose recipe has not changed is kept.
#
# Content:
#   PE code      Wine's own 32-bit DLLs and programs, stripped of debug
#                information like shipped programs, in name order
#   text         the licence texts and the C and C++ headers of the base
#                system (base-files, libc6-dev, linux-libc-dev, libstdc++-dev)
#   incompressible  splitmix64 bytes from bench_bytes (a setup program's
#                compressed overlay, media in the large payload)
#   real tree    Wine's 32-bit programs and libraries as they are installed
#                (stripped), in folders by kind, and the small documents of
#                the base system's packages under doc/, as they lie
set -euo pipefail

if (($# < 3)); then
    echo "usage: $0 OUT_DIR VEMPACK BENCH_BYTES [NAME]..." >&2
    exit 2
fi
OUT_DIR=$1
VEMPACK=$2
BENCH_BYTES=$3
shift 3
NAMES=(shipped-size many-files large real-tree small-files)
(($# == 0)) || NAMES=("$@")
export LC_ALL=C

# ---- Recipes -------------------------------------------------------------
# shipped-size: five entries shaped like the shipped payload (a setup
# program, two programs, two texts; 4,459,669 bytes decoded, about 1.5 MB
# packed).
SHIPPED_SETUP=1245184          # of which SHIPPED_SETUP_OVERLAY incompressible
SHIPPED_SETUP_OVERLAY=340000
SHIPPED_READER=2412544
SHIPPED_UNINSTALL=188416
SHIPPED_README=552960
SHIPPED_TOTAL=4459669          # License.txt takes the rest
# many-files: 60 MB in 51 entries (the setup program, 30 programs, 20
# texts), all of it compressible, about 6:1.
MANY_PROGRAMS=30
MANY_TEXTS=20
MANY_TOTAL=60000000            # the last text takes the rest
# large: about 200 MB, mixed compressible and incompressible.
LARGE_READER=85000000
LARGE_UNINSTALL=8000000
LARGE_MEDIA=46000000
LARGE_TOTAL=200000000          # Manual.txt takes the rest
# real-tree: an installed application's tree, about 850 files and 130 MB:
# Wine's 32-bit programs and libraries in name order (no 16-bit ones, none
# over 4 MiB) until REAL_PE_BYTES, then REAL_DOCS documents under 64 KiB.
REAL_PE_BYTES=128000000
REAL_PE_LARGEST=4194304
REAL_DOCS=250
# small-files: SMALL_FILES entries of 100 to 8,191 bytes in 100 folders of
# two levels, half text, half program code, neither corpus gone round (no
# repeats that a large dictionary would find): the cost per entry.
SMALL_FILES=10000

WINE_PE_DIRS=(/usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows)
STRIP=$(command -v i686-w64-mingw32-strip || true)
# strip stamps each PE header with the time it runs unless told one: a fixed
# one keeps the payloads the same bytes on every run.
export SOURCE_DATE_EPOCH=0
NSIS_SCRIPT="$(cd "$(dirname "$0")" && pwd)/nsis/bench.nsi"

die() {
    echo "make-payloads: $*" >&2
    exit 1
}

pe_dir=""
for dir in "${WINE_PE_DIRS[@]}"; do
    if [[ -f $dir/comdlg32.dll ]]; then
        pe_dir=$dir
        break
    fi
done
[[ -n $pe_dir ]] || die "no 32-bit Wine DLLs found; run scripts/install-deps.sh bench"
[[ -n $STRIP ]] || die "i686-w64-mingw32-strip not found; run scripts/install-deps.sh bench"
command -v makensis >/dev/null || die "makensis not found (nsis)"

# Everything that decides the bytes: this script, the NSIS script, and the
# versions of the packages the content and the packers come from.
recipe_key() {
    {
        cat "$0" "$NSIS_SCRIPT"
        dpkg-query -W -f='${Package} ${Version}\n' wine32 libwine base-files libc6-dev \
            linux-libc-dev nsis xz-utils 2>/dev/null || true
        sha256sum "$VEMPACK" | cut -d' ' -f1
    } | sha256sum | cut -d' ' -f1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The PE corpus: stripped Wine DLLs and programs until at least $1 bytes.
# Code-heavy ones first (they pack the way a real program does), then the
# rest in name order, each only when it is 256 KiB or more once stripped: the
# many small ones are mostly the same few kilobytes of start-up code and pack
# far better than a real program. comdlg32.dll is left out: the setup
# program is made of it.
PE_FIRST=(wined3d.dll msxml3.dll comctl32.dll user32.dll windowscodecs.dll msi.dll crypt32.dll
          ucrtbase.dll jscript.dll regedit.exe winecfg.exe)
pe_files() {
    local name
    for name in "${PE_FIRST[@]}"; do
        [[ -f $pe_dir/$name ]] && echo "$pe_dir/$name"
    done
    find "$pe_dir" -maxdepth 1 -type f \( -name '*.dll' -o -name '*.exe' \) | sort |
        while IFS= read -r file; do
            for name in "${PE_FIRST[@]}" comdlg32.dll; do
                [[ $(basename "$file") == "$name" ]] && continue 2
            done
            echo "$file"
        done
}

make_pe_corpus() {
    local want=$1 have=0 file
    : >"$work/pe"
    while IFS= read -r file; do
        "$STRIP" -o "$work/stripped" "$file" 2>/dev/null || continue
        (($(stat -c %s "$work/stripped") >= 262144)) || continue
        cat "$work/stripped" >>"$work/pe"
        have=$(stat -c %s "$work/pe")
        ((have >= want)) && return 0
    done < <(pe_files)
    # Fewer than wanted (another Wine version): slice goes round the corpus.
    ((have > 9 * 1024 * 1024)) || die "only $have bytes of Wine PE files"
}

# The text corpus: licences first, then headers, each file whole.
make_text_corpus() {
    {
        find /usr/share/common-licenses -maxdepth 1 -type f | sort
        find /usr/include -maxdepth 1 -type f -name '*.h' | sort
        find /usr/include/linux /usr/include/x86_64-linux-gnu /usr/include/c++ -type f | sort
    } | while IFS= read -r file; do cat "$file"; done >"$work/text"
    (($(stat -c %s "$work/text") > 9 * 1024 * 1024)) || die "text corpus under 9 MiB"
}

# slice CORPUS OFFSET COUNT: COUNT bytes from OFFSET, going round the corpus
# as often as needed. A corpus longer than the dictionary repeats only
# beyond the decoder's reach, so later rounds pack like the first.
slice() {
    local corpus=$1 offset=$2 count=$3 size
    size=$(stat -c %s "$corpus")
    ((offset < size)) || die "offset $offset beyond $corpus"
    {
        tail -c +$((offset + 1)) "$corpus" && while cat "$corpus"; do :; done
    } 2>/dev/null | head -c "$count" || true
}

setup_program() {
    "$STRIP" -o "$work/setup-base" "$pe_dir/comdlg32.dll"
    head -c $((SHIPPED_SETUP - SHIPPED_SETUP_OVERLAY)) "$work/setup-base"
    "$BENCH_BYTES" 1 "$SHIPPED_SETUP_OVERLAY"
}

check_size() {
    local file=$1 want=$2
    [[ $(stat -c %s "$file") == "$want" ]] || die "$file is not $want bytes"
}

# pack DIR [NAME]...: the NAMEs of DIR/files in that order, or without
# NAMEs the whole folder (vempack stores it sorted by path).
pack() {
    local dir=$1
    shift
    local names=("$@") listed=() packed_files=(payload.lzma nsis.exe)
    for name in "${names[@]}"; do listed+=("$name=$dir/files/$name"); done
    ((${#names[@]})) || listed=("$dir/files/")
    # Nothing designated: extract mode unpacks every entry and starts
    # nothing, so that what is measured is the unpacking, as NSIS's is. (A
    # designated entry that is no program would send the stub on to the
    # shell, whose start-up under Wine outweighs a small payload's unpacking.)
    # NSIS keeps each file's time: one fixed time keeps its installers the
    # same bytes too.
    find "$dir/files" -exec touch -h -d @0 {} +
    "$VEMPACK" create -o "$dir/payload.lzma" --preset 9 --lc 3 --lp 0 --pb 2 \
        --no-launch "${listed[@]}" 2>"$work/vempack.err" >/dev/null ||
        { cat "$work/vempack.err" >&2; die "vempack failed on $dir"; }
    makensis -V1 -NOCD "-DSOURCE_DIR=$dir/files" "-DOUT_FILE=$dir/nsis.exe" "$NSIS_SCRIPT" \
        >/dev/null
    if ((${#names[@]} == 0)); then
        makensis -V1 -NOCD "-DSOURCE_DIR=$dir/files" "-DOUT_FILE=$dir/nsis-64.exe" -DDICT=64 \
            "$NSIS_SCRIPT" >/dev/null
        packed_files+=(nsis-64.exe)
    fi
    {
        echo "recipe $key"
        (cd "$dir/files" && find . -type f -printf '%P\n' | sort) | while IFS= read -r name; do
            echo "entry $(stat -c %s "$dir/files/$name") $name"
        done
        for packed in "${packed_files[@]}"; do
            echo "packed $(stat -c %s "$dir/$packed") $(sha256sum "$dir/$packed" | cut -d' ' -f1) $packed"
        done
    } >"$dir/manifest.txt"
}

wanted() {
    local name
    for name in "${NAMES[@]}"; do [[ $name == "$1" ]] && return 0; done
    return 1
}

key=$(recipe_key)
fresh() {
    [[ -f $1/manifest.txt ]] && [[ $(head -n 1 "$1/manifest.txt") == "recipe $key" ]]
}

mkdir -p "$OUT_DIR"
OUT_DIR=$(cd "$OUT_DIR" && pwd)
need_corpus=false
for name in "${NAMES[@]}"; do fresh "$OUT_DIR/$name" || need_corpus=true; done
if $need_corpus; then
    echo "make-payloads: building the content corpora" >&2
    if wanted large || wanted many-files || wanted small-files; then
        make_pe_corpus $((LARGE_READER + LARGE_UNINSTALL))
    else
        make_pe_corpus $((SHIPPED_READER + SHIPPED_UNINSTALL))
    fi
    make_text_corpus
fi

dir=$OUT_DIR/shipped-size
if wanted shipped-size && ! fresh "$dir"; then
    echo "make-payloads: packing shipped-size" >&2
    rm -rf "$dir"
    mkdir -p "$dir/files"
    setup_program >"$dir/files/Setup.exe"
    slice "$work/pe" 0 "$SHIPPED_READER" >"$dir/files/Vemlo Reader.exe"
    slice "$work/pe" "$SHIPPED_READER" "$SHIPPED_UNINSTALL" >"$dir/files/Uninstall.exe"
    slice "$work/text" 0 "$SHIPPED_README" >"$dir/files/Readme.txt"
    license=$((SHIPPED_TOTAL - SHIPPED_SETUP - SHIPPED_READER - SHIPPED_UNINSTALL - SHIPPED_README))
    slice "$work/text" "$SHIPPED_README" "$license" >"$dir/files/License.txt"
    check_size "$dir/files/Setup.exe" "$SHIPPED_SETUP"
    check_size "$dir/files/License.txt" "$license"
    pack "$dir" Setup.exe "Vemlo Reader.exe" Uninstall.exe Readme.txt License.txt
fi

# Sizes vary from entry to entry (a fixed step through a range), and each
# entry continues where the one before it ended in its corpus.
dir=$OUT_DIR/many-files
if wanted many-files && ! fresh "$dir"; then
    echo "make-payloads: packing many-files (a minute or two)" >&2
    rm -rf "$dir"
    mkdir -p "$dir/files"
    names=(Setup.exe)
    setup_program >"$dir/files/Setup.exe"
    used=$SHIPPED_SETUP pe_at=0 text_at=0
    pe_size=$(stat -c %s "$work/pe") text_size=$(stat -c %s "$work/text")
    for ((i = 1; i <= MANY_PROGRAMS; ++i)); do
        size=$((900000 + i * 104729 % 1500000))
        name=$(printf 'Program%02d.dll' "$i")
        slice "$work/pe" "$pe_at" "$size" >"$dir/files/$name"
        names+=("$name") pe_at=$(((pe_at + size) % pe_size)) used=$((used + size))
    done
    for ((i = 1; i < MANY_TEXTS; ++i)); do
        size=$((200000 + i * 7919 % 600000))
        name=$(printf 'Document%02d.txt' "$i")
        slice "$work/text" "$text_at" "$size" >"$dir/files/$name"
        names+=("$name") text_at=$(((text_at + size) % text_size)) used=$((used + size))
    done
    name=$(printf 'Document%02d.txt' "$MANY_TEXTS")
    slice "$work/text" "$text_at" $((MANY_TOTAL - used)) >"$dir/files/$name"
    names+=("$name")
    (($(cat "$dir"/files/* | wc -c) == MANY_TOTAL)) || die "many-files is not $MANY_TOTAL bytes"
    pack "$dir" "${names[@]}"
fi

dir=$OUT_DIR/large
if wanted large && ! fresh "$dir"; then
    echo "make-payloads: packing large (a few minutes)" >&2
    rm -rf "$dir"
    mkdir -p "$dir/files"
    setup_program >"$dir/files/Setup.exe"
    slice "$work/pe" 0 "$LARGE_READER" >"$dir/files/Vemlo Reader.exe"
    slice "$work/pe" "$LARGE_READER" "$LARGE_UNINSTALL" >"$dir/files/Uninstall.exe"
    "$BENCH_BYTES" 2 "$LARGE_MEDIA" >"$dir/files/Media.dat"
    manual=$((LARGE_TOTAL - SHIPPED_SETUP - LARGE_READER - LARGE_UNINSTALL - LARGE_MEDIA))
    slice "$work/text" 0 "$manual" >"$dir/files/Manual.txt"
    check_size "$dir/files/Vemlo Reader.exe" "$LARGE_READER"
    check_size "$dir/files/Manual.txt" "$manual"
    pack "$dir" Setup.exe "Vemlo Reader.exe" Uninstall.exe Media.dat Manual.txt
fi

# The folder an installed Wine file lies in, by kind.
real_tree_folder() {
    case $1 in
    *.exe) echo bin ;;
    *.dll) echo "lib/${1:0:1}" ;;
    *.sys | *.drv) echo lib/drivers ;;
    *) echo lib/components ;;
    esac
}

# The base system's packages (priority required or important), whose
# documents every Debian machine has.
base_documents() {
    local package
    dpkg-query -W -f='${db:Status-Abbrev} ${Priority} ${Package}\n' |
        awk '$1 == "ii" && ($2 == "required" || $2 == "important") { sub(/:.*/, "", $3); print $3 }' |
        sort -u | while IFS= read -r package; do
        [[ -d /usr/share/doc/$package ]] && find "/usr/share/doc/$package/" -type f -size -64k
    done | sort -u | head -n "$REAL_DOCS"
}

dir=$OUT_DIR/real-tree
if wanted real-tree && ! fresh "$dir"; then
    echo "make-payloads: packing real-tree (a few minutes)" >&2
    rm -rf "$dir"
    mkdir -p "$dir/files"
    total=0
    while IFS= read -r file; do
        name=$(basename "$file")
        case $name in *16 | *.vxd) continue ;; esac
        "$STRIP" -o "$work/stripped" "$file" 2>/dev/null || cp "$file" "$work/stripped"
        size=$(stat -c %s "$work/stripped")
        ((size <= REAL_PE_LARGEST)) || continue
        folder=$dir/files/$(real_tree_folder "$name")
        mkdir -p "$folder"
        mv "$work/stripped" "$folder/$name"
        total=$((total + size))
        ((total < REAL_PE_BYTES)) || break
    done < <(find "$pe_dir" -maxdepth 1 -type f | sort)
    ((total >= REAL_PE_BYTES)) || die "only $total bytes of Wine programs and libraries"
    documents=0
    while IFS= read -r file; do
        mkdir -p "$dir/files/doc/$(dirname "${file#/usr/share/doc/}")"
        cp "$file" "$dir/files/doc/${file#/usr/share/doc/}"
        documents=$((documents + 1))
    done < <(base_documents)
    ((documents == REAL_DOCS)) || die "only $documents documents in /usr/share/doc"
    pack "$dir"
fi

# Each file continues where the one before it ended in its corpus; a fixed
# step through the sizes.
dir=$OUT_DIR/small-files
if wanted small-files && ! fresh "$dir"; then
    echo "make-payloads: packing small-files (a few minutes)" >&2
    rm -rf "$dir"
    mkdir -p "$dir/files"
    for ((i = 0; i < SMALL_FILES; ++i)); do
        size=$((100 + i * 7919 % 8092))
        folder=$(printf 'part%02d/group%d' $((i % 50)) $((i / 50 % 2)))
        mkdir -p "$dir/files/$folder"
        if ((i % 2)); then
            head -c "$size" <&4 >"$dir/files/$folder/$(printf 'module%05d.bin' "$i")"
        else
            head -c "$size" <&3 >"$dir/files/$folder/$(printf 'note%05d.txt' "$i")"
        fi
    done 3< <(while cat "$work/text"; do :; done 2>/dev/null) \
        4< <(while cat "$work/pe"; do :; done 2>/dev/null)
    (($(find "$dir/files" -type f | wc -l) == SMALL_FILES)) || die "small-files is not $SMALL_FILES files"
    pack "$dir"
fi
