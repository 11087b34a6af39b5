#!/usr/bin/env python3
"""The build graph is the architecture: checks that it stays so.

Usage: check-components.py BUILD_DIR [--write]

BUILD_DIR is a configured and built tree of this project (it needs compile_commands.json).
1. Configures the library alone (no tests, examples or benchmarks) into a scratch folder with
   `cmake --graphviz` and reads the component graph from it: every qor_* library target and the
   qor_* targets it links.
2. The graph has no cycle, and every folder under src/Platform and include/QORUniversalSDK/Platform
   is one component's (no file sits loose in Platform/).
3. Every include of a component's file, quoted ("Core/JSON.h") or as an app writes it
   (<QORUniversalSDK/Core/JSON.h>), names a component that the file's own target links, directly
   or through what it links.
4. docs/components.md draws exactly this graph, with one line on each component (--write
   rewrites its generated part and keeps the lines already written).
5. The compiler agrees: with the compile flags of a file of one component, an include that points
   upward (Foundation -> UIKit) and one that points sideways (Analytics -> Models) fail, and an
   allowed include of each passes; a test reaches nothing above the layer it tests.
"""

import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DOC = os.path.join(ROOT, "docs", "components.md")
BEGIN, END = "<!-- graph: begin -->", "<!-- graph: end -->"
# The path an include names under src/ or the public folder: a quoted one as it stands, one of the
# public headers' own form without its <QORUniversalSDK/...> prefix.
INCLUDE = re.compile(r'^\s*#\s*include\s*(?:"([^"]+)"|<QORUniversalSDK/([^>]+)>)', re.M)

problems = []


def problem(text):
    problems.append(text)


def read_graph(build_dir):
    """(components: {target: folder}, edges: {target: set of linked qor_* targets})."""
    scratch = tempfile.mkdtemp(prefix="qor-graph-", dir=build_dir)
    dot = os.path.join(scratch, "graph.dot")
    generator = ["-G", "Ninja"] if subprocess.run(["which", "ninja"], capture_output=True).returncode == 0 else []
    subprocess.run(["cmake", "-S", ROOT, "-B", scratch, *generator, "-DQOR_BUILD_TESTS=OFF",
                    "-DQOR_BUILD_EXAMPLES=OFF", "-DQOR_BUILD_BENCH=OFF", f"--graphviz={dot}"],
                   check=True, stdout=subprocess.DEVNULL)
    text = open(dot, encoding="utf-8").read()
    names = dict(re.findall(r'"(node\d+)"\s*\[\s*label\s*=\s*"([^"]+)"', text))
    edges = {}
    for source, target in re.findall(r'"(node\d+)"\s*->\s*"(node\d+)"', text):
        a, b = names[source], names[target]
        if a.startswith("qor_") and b.startswith("qor_"):
            edges.setdefault(a, set()).add(b)
    components = {}
    # Each component's folder, from the build script that names them.
    for line in open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8"):
        match = re.match(r"\s*qor_add_component\((\S+)\s+(\S+)", line)
        if match:
            components[match.group(2)] = match.group(1)
    for name in names.values():
        if name.startswith("qor_") and name not in components and name not in ("qor_platform", "qor_layers"):
            problem(f"{name} is a library target that is not a component")
    for target in components:
        edges.setdefault(target, set())
    shutil.rmtree(scratch, ignore_errors=True)
    return components, edges


def reachable(edges, start):
    seen, stack = set(), [start]
    while stack:
        for nxt in edges.get(stack.pop(), ()):
            if nxt not in seen:
                seen.add(nxt)
                stack.append(nxt)
    return seen


def check_cycles(components, edges):
    for target in components:
        if target in reachable(edges, target):
            problem(f"the component graph has a cycle through {target}")


def check_folders(components):
    folders = set(components.values())
    for base in ("src", "include/QORUniversalSDK"):
        platform = os.path.join(ROOT, base, "Platform")
        for entry in sorted(os.listdir(platform)):
            path = os.path.join(platform, entry)
            if not os.path.isdir(path):
                problem(f"{base}/Platform/{entry} is in no component (each file lives in a component's folder)")
            elif f"Platform/{entry}" not in folders:
                problem(f"{base}/Platform/{entry} is not a component's folder")


def component_of(path, folders):
    """The component folder a path rooted at src/ or the public folder belongs to."""
    best = None
    for folder in folders:
        if path.startswith(folder + "/") and (best is None or len(folder) > len(best)):
            best = folder
    return best


def check_includes(components, edges):
    by_folder = {folder: target for target, folder in components.items()}
    folders = list(by_folder)
    for base in ("src", "include/QORUniversalSDK"):
        for directory, _, files in os.walk(os.path.join(ROOT, base)):
            for name in files:
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(directory, name)
                relative = os.path.relpath(path, os.path.join(ROOT, base))
                own = component_of(relative, folders)
                if own is None:
                    continue  # the umbrella header, which reaches everything an app may use
                allowed = {by_folder[own]} | reachable(edges, by_folder[own])
                for quoted, public in INCLUDE.findall(open(path, encoding="utf-8").read()):
                    included = quoted or public
                    other = component_of(included, folders)
                    if other and by_folder[other] not in allowed:
                        problem(f"{base}/{relative} includes {included}, of {by_folder[other]}, "
                                f"which {by_folder[own]} does not link")


def source_lines(folder):
    total = 0
    for base in ("src", "include/QORUniversalSDK"):
        for directory, _, files in os.walk(os.path.join(ROOT, base, folder)):
            for name in files:
                if name.endswith((".h", ".cpp")):
                    with open(os.path.join(directory, name), encoding="utf-8") as file:
                        total += sum(1 for _ in file)
    return total


def graph_text(components, edges):
    width = max(len(t) for t in components)
    lines = []
    for target in components:  # in the build's order, from the bottom up
        links = " ".join(sorted(edges[target] - {"Threads::Threads"}))
        lines.append(f"{target.ljust(width)}  src/{components[target]}" + (f"  ->  {links}" if links else ""))
    return "\n".join(lines)


def check_doc(components, edges, write):
    generated = "```\n" + graph_text(components, edges) + "\n```"
    text = open(DOC, encoding="utf-8").read() if os.path.exists(DOC) else ""
    if BEGIN not in text or END not in text:
        problem(f"{os.path.relpath(DOC, ROOT)} has no generated graph between {BEGIN} and {END}")
        return
    head, rest = text.split(BEGIN, 1)
    current, tail = rest.split(END, 1)
    if write:
        with open(DOC, "w", encoding="utf-8") as file:
            file.write(head + BEGIN + "\n" + generated + "\n" + END + tail)
        for target, folder in components.items():
            print(f"{target}: {source_lines(folder)} lines")
    elif current.strip() != generated:
        problem(f"{os.path.relpath(DOC, ROOT)} does not draw the graph the build has; "
                "run scripts/check-components.py BUILD_DIR --write and commit it")
    described = set(re.findall(r"^- `(qor_\w+)`", tail, re.M))
    for target in components:
        if target not in described:
            problem(f"{os.path.relpath(DOC, ROOT)} says nothing of {target} (a line '- `{target}`: ...')")
    for target in described - set(components):
        problem(f"{os.path.relpath(DOC, ROOT)} describes {target}, which is no component")


def compile_probe(build_dir, folder, header):
    """Compiles `#include "header"` (or `#include <header>` when it is written <...>) with the flags
    of a file of `folder` (under src/, or a folder of the checkout such as tests/Platform); True
    when it compiles."""
    commands = json.load(open(os.path.join(build_dir, "compile_commands.json"), encoding="utf-8"))
    base = ROOT if folder.startswith("tests/") else os.path.join(ROOT, "src")
    marker = os.path.join(base, folder) + "/"
    entry = next((c for c in commands if os.path.realpath(c["file"]).startswith(marker)), None)
    if entry is None:
        problem(f"no compile command for a file of {folder} in {build_dir}")
        return None
    words = shlex.split(entry["command"]) if "command" in entry else entry["arguments"]
    kept, skip = [], False
    for word in words:
        if skip:
            skip = False
        elif word in ("-o", "-c", "-MF", "-MT", "-MQ"):
            skip = word != "-c"
        elif word in ("-MD", "-MMD") or os.path.realpath(os.path.join(entry["directory"], word)) == os.path.realpath(entry["file"]):
            pass
        else:
            kept.append(word)
    with tempfile.NamedTemporaryFile("w", suffix=".cpp", delete=False) as probe:
        named = header if header.startswith("<") else f'"{header}"'
        probe.write(f"#include {named}\n")
    try:
        result = subprocess.run(kept + ["-fsyntax-only", probe.name], cwd=entry["directory"], capture_output=True, text=True)
    finally:
        os.unlink(probe.name)
    return result.returncode == 0


def check_compiler(build_dir):
    cases = [  # (the including component's folder, header, may it include it)
        ("Platform/Foundation", "Platform/Dispatch/RunLoop.h", True),
        ("Platform/Foundation", "Platform/UIKit/UIView.h", False),  # upward
        ("Platform/Support", "Platform/Foundation/URL.h", False),  # upward, across the public line
        ("Analytics", "Networking/Client/Session/Session.h", True),
        ("Analytics", "Models/OpenRTB/BidRequest.h", False),  # sideways
        ("Models", "Analytics/Analytics.h", False),  # sideways, across the public line
        # The public headers' own form, as an app includes them, keeps to the same graph.
        ("Analytics", "<QORUniversalSDK/Networking/Client/Result.h>", True),
        ("Models", "<QORUniversalSDK/Analytics/Analytics.h>", False),  # sideways
        ("Platform/Support", "<QORUniversalSDK/Platform/Foundation/URL.h>", False),  # upward
        # A test executable reaches only the layer it tests and what that layer links.
        ("tests/Platform", "Platform/WebKit/WKWebView.h", True),
        ("tests/Platform", "Core/JSON.h", False),
        ("tests/Analytics", "Models/OpenRTB/BidRequest.h", False),
        ("tests/AdNetwork", "Views/AdView.h", False),
    ]
    for folder, header, allowed in cases:
        compiled = compile_probe(build_dir, folder, header)
        if compiled is not None and compiled != allowed:
            problem(f"a file of {folder} {'cannot' if allowed else 'can'} include {header}")
        elif compiled is not None:
            print(f"  {folder} {'includes' if allowed else 'cannot include'} {header}")


def main():
    args = [a for a in sys.argv[1:] if a != "--write"]
    if len(args) != 1:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    build_dir = os.path.abspath(args[0])
    components, edges = read_graph(build_dir)
    check_cycles(components, edges)
    check_folders(components)
    check_includes(components, edges)
    check_doc(components, edges, "--write" in sys.argv)
    check_compiler(build_dir)
    if problems:
        for text in problems:
            print("component check:", text, file=sys.stderr)
        return 1
    print(f"component check: {len(components)} components, no cycle, every include within what its target links")
    return 0


if __name__ == "__main__":
    sys.exit(main())
