#!/usr/bin/env bash
# Checks the public line from both sides. Every function, constructor, destructor and static
# variable that a public header declares out of line is exported by the installed library: a
# shared object that refers to each of them by its mangled name links against the install with
# no reference left open. And the export macro is used in the public folder only, so nothing
# else leaves the library. Needs clang (for the syntax tree) and python3.
# Arguments: the SDK's build folder (default build).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:-build}" && pwd)

outside=$(grep -rl --include='*.h' --include='*.cpp' 'QOR_EXPORT' "$root/src" || true)
if [ -n "$outside" ]; then
  echo "QOR_EXPORT outside the public folder (include/QORUniversalSDK):"
  echo "$outside"
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
include="$work/prefix/include"
(cd "$include" && find QORUniversalSDK -name '*.h' | sort | sed 's|.*|#include <&>|') >"$work/all.cpp"
headers=$(wc -l <"$work/all.cpp")
# Only the declarations named qor… are dumped: the standard library's would be a hundred times more.
clang++ -std=c++20 -fsyntax-only -Xclang -ast-dump=json -Xclang -ast-dump-filter -Xclang qor \
  -I "$include" "$work/all.cpp" >"$work/ast.json"
python3 "$here/public-symbols.py" "$work/ast.json" >"$work/references.cpp" 2>"$work/count.txt"
library=$(find "$work/prefix" -name 'libQORUniversalSDK.so' | head -n 1)
if ! g++ -shared -fPIC -o "$work/references.so" "$work/references.cpp" -L"$(dirname "$library")" \
  -lQORUniversalSDK -Wl,--no-undefined 2>"$work/link.txt"; then
  echo "declared in the public headers but not exported by $library:"
  grep -oE "undefined reference to \`[^']+'" "$work/link.txt" | sed -E "s/^undefined reference to \`//; s/'$//" |
    sort -u | c++filt
  exit 1
fi
echo "public line: $headers installed headers; $(cat "$work/count.txt" | sed 's|^// ||') declared there, all exported;" \
  "$(nm -D --defined-only "$library" | wc -l) symbols exported in all"
