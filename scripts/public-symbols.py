#!/usr/bin/env python3
"""Lists the symbols an app can reach through the public headers and must find in the library.

Reads the JSON syntax tree clang writes for a file that includes every public header (filtered to
the declarations named qor…) and prints a C++ file that refers to each out-of-line function,
constructor, destructor and static variable those headers declare, by its mangled name. Linked
against the installed library with every reference required, it fails on the first declaration
the library does not export. Inline, defaulted, deleted, pure and template code needs no symbol
and is left out.

Usage: public-symbols.py AST_JSON > references.cpp
"""
import json
import sys

FUNCTIONS = {"FunctionDecl", "CXXMethodDecl", "CXXConstructorDecl", "CXXDestructorDecl", "CXXConversionDecl"}
# Their members are instantiated where they are used: nothing in the library stands for them.
TEMPLATES = {"ClassTemplateDecl", "FunctionTemplateDecl", "ClassTemplatePartialSpecializationDecl",
             "VarTemplateDecl", "TypeAliasTemplateDecl"}
BODIES = {"CompoundStmt", "CXXTryStmt"}


def read_documents(path):
    """The filtered dump is a series of JSON documents, one per matching declaration."""
    text = open(path, encoding="utf-8").read()
    decoder = json.JSONDecoder()
    position = 0
    while True:
        start = text.find("{", position)
        if start < 0:
            return
        document, position = decoder.raw_decode(text, start)
        yield document


def needs_symbol(node):
    if node.get("isImplicit") or node.get("inline") or node.get("constexpr"):
        return False
    if node.get("explicitlyDefaulted") or node.get("explicitlyDeleted") or node.get("pure"):
        return False
    return not any(child.get("kind") in BODIES for child in node.get("inner", []))


def base_object_variant(mangled):
    """An abstract class is never made whole: an app's class derived from it calls the constructor
    and destructor for a base part (C2, D2), and a compiler may leave out the complete ones."""
    for complete, base in (("C1E", "C2E"), ("D1E", "D2E")):
        at = mangled.rfind(complete)
        if at >= 0:
            return mangled[:at] + base + mangled[at + len(complete):]
    return mangled


def collect(node, functions, variables, defined, in_record, in_anonymous, abstract=False):
    kind = node.get("kind")
    if kind in TEMPLATES:
        return
    if kind == "NamespaceDecl" and not node.get("name"):
        in_anonymous = True
    mangled = node.get("mangledName")
    if mangled and abstract and kind in ("CXXConstructorDecl", "CXXDestructorDecl"):
        mangled = base_object_variant(mangled)
    if kind in FUNCTIONS and mangled and not in_anonymous:
        internal = kind == "FunctionDecl" and node.get("storageClass") == "static"
        if needs_symbol(node) and not internal:
            functions.setdefault(mangled, node.get("name", ""))
        else:
            defined.add(mangled)
        return  # nothing inside a function body is declared for an app
    if kind == "VarDecl" and mangled and not in_anonymous:
        static_member = in_record and node.get("storageClass") == "static"
        extern = not in_record and node.get("storageClass") == "extern"
        if (static_member or extern) and needs_symbol(node) and "init" not in node:
            variables.setdefault(mangled, node.get("name", ""))
        else:
            defined.add(mangled)
        return
    record = kind in ("CXXRecordDecl", "ClassTemplateSpecializationDecl")
    if record:
        abstract = bool(node.get("definitionData", {}).get("isAbstract"))
    for child in node.get("inner", []):
        collect(child, functions, variables, defined, in_record or record, in_anonymous, abstract)


def main():
    functions, variables, defined = {}, {}, set()
    for document in read_documents(sys.argv[1]):
        collect(document, functions, variables, defined, False, False)
    for name in defined:  # an inline definition elsewhere in the headers needs no symbol
        functions.pop(name, None)
        variables.pop(name, None)
    print("// Generated: one reference per symbol the public headers declare and the library must export.")
    print("// Functions are declared with C linkage under their mangled names, so each is referred to exactly.")
    print('extern "C" {')
    for name in sorted(functions):
        print(f"void {name}();")
    for name in sorted(variables):
        print(f"extern char {name};")
    print("}")
    print("extern const void* const qorPublicSymbols[];")
    print("const void* const qorPublicSymbols[] = {")
    for name in sorted(functions):
        print(f"    reinterpret_cast<const void*>(&{name}),")
    for name in sorted(variables):
        print(f"    &{name},")
    print("    nullptr};")
    print(f"// {len(functions)} functions, {len(variables)} variables", file=sys.stderr)


if __name__ == "__main__":
    main()
