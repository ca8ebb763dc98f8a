#!/usr/bin/env bash
# Compiles every source of the project against libc++, the C++ library macOS ships, with clang's
# -fsyntax-only: what only libc++ lacks (a deleted overload, a missing header that libstdc++
# includes on the side) shows here on Linux before a Mac build meets it. Headers alone are
# needed, so Debian's Qt, built against libstdc++, serves. Each source gets the include paths and
# definitions that CMake gave it.
# Usage: scripts/check-libcxx.sh [compile_commands.json ...]   (default build/compile_commands.json)
# A source listed in more than one file is compiled once, with the flags of the first.
set -euo pipefail
cd "$(dirname "$0")/.."
(($#)) || set -- build/compile_commands.json
for database in "$@"; do
  [ -f "$database" ] || { echo "check-libcxx: no $database (configure and build first)" >&2; exit 2; }
done
compiler="${CLANGXX:-clang++}"
command -v "$compiler" >/dev/null || { echo "check-libcxx: $compiler not found (package clang)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One response file of clang arguments per source. Kept from CMake's command: definitions,
# include paths, the language standard. Dropped: the compiler, its output, optimisation and
# code-generation flags, warnings (GCC names some clang does not know) and sanitizers, none of
# which changes what a header declares.
python3 - "$work" "$PWD" "$@" <<'PY'
import json, os, shlex, sys

work, root, databases = sys.argv[1], os.path.realpath(sys.argv[2]), sys.argv[3:]
kept_with_value = {"-D", "-U", "-I", "-isystem", "-iquote", "-include"}
seen = set()
for database in databases:
    for entry in json.load(open(database)):
        source = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
        # Our sources only: not what the build generated (moc, uic) nor anything outside.
        relative = os.path.relpath(source, root)
        if relative.startswith("..") or relative.split(os.sep)[0].startswith("build") or source in seen:
            continue
        seen.add(source)
        words = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
        args, i = [], 1
        while i < len(words):
            word = words[i]
            if word in kept_with_value and i + 1 < len(words):
                value = words[i + 1]
                if word != "-D" and word != "-U" and not os.path.isabs(value):
                    value = os.path.join(entry["directory"], value)
                args += [word, value]
                i += 2
                continue
            if word[:2] in ("-D", "-U", "-I") or word.startswith("-std="):
                args.append(word)
            i += 1
        args += ["-stdlib=libc++", "-fsyntax-only", "-fno-color-diagnostics", "-w", source]
        name = os.path.join(work, "%04d.rsp" % len(seen))
        with open(name, "w") as out:
            out.write("\n".join(shlex.quote(arg) for arg in args) + "\n")
        with open(name[:-4] + ".source", "w") as out:
            out.write(relative + "\n")
PY

total=$(find "$work" -name '*.rsp' | wc -l)
echo "check-libcxx: compiling $total sources with $compiler -stdlib=libc++ -fsyntax-only"
export compiler
find "$work" -name '*.rsp' -print0 | sort -z | xargs -0 -P "${JOBS:-2}" -n 1 sh -c '
  log="${1%.rsp}.log"
  "$compiler" @"$1" >"$log" 2>&1 || mv "$log" "${1%.rsp}.failed"' check

failed=0
for log in "$work"/*.failed; do
  [ -e "$log" ] || continue
  failed=$((failed + 1))
  echo "--- $(cat "${log%.failed}.source") does not compile with libc++:"
  # Each error with the line it points at.
  grep -A2 --no-group-separator 'error:' "$log" | sed 's/^/    /'
done
if ((failed)); then
  echo "check-libcxx: $failed of $total sources fail with libc++"
  exit 1
fi
echo "check-libcxx: all $total sources compile with libc++"
