#!/usr/bin/env python3
"""Checks that the CEF stand-in declares nothing that CEF 81.3.10 does not.

The renderer is built and tested against the stand-in's CEF-shaped headers
but ships against a real CEF 81.3.10 distribution, so every class, method,
constructor, free function, typedef, public field, enum constant and
constant that the stand-in's headers declare must be declared by the same
CEF headers with the same signature: type (parameters, return, const/ref),
static, virtual, pure, deleted, explicit and access; for classes, the tag,
template parameters and bases; for constants, the value. Both sets of
headers are parsed with clang and compared. A stand-in declaration that CEF
lacks or declares differently fails the check; what CEF declares beyond the
stand-in is fine. Macros are not compared.

    scripts/check-cef-signatures.py CEF_ROOT [--standin-root DIR] [--verbose]

Exits 0 when everything matches, 1 when something differs, and 2 when the
check cannot run (no clang++, no CEF root, headers that do not parse).
"""

import argparse
import dataclasses
import difflib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

CEF_VERSION = "81.3.10"
CEF_LABEL = f"CEF {CEF_VERSION}"

# Namespaces that hold implementation, not API: the stand-in's own, and the
# one CEF itself reserves for the internals of its base library.
SKIPPED_NAMESPACES = ("standin", "cef_internal")

# Platform headers of other systems cannot be parsed here; their includers
# choose them under #if, as CEF's do.
OTHER_PLATFORM_SUFFIXES = ("_win.h", "_mac.h")

# Standard headers precompiled once so that the AST dumps hold only the
# headers under test (it cuts each dump from ~250 MB to a few).
PRELUDE_HEADERS = (
    "algorithm", "atomic", "cstddef", "cstdint", "cstring", "functional",
    "iosfwd", "map", "memory", "ostream", "set", "sstream", "string", "tuple",
    "type_traits", "utility", "vector", "stddef.h", "stdint.h", "unistd.h",
    "pthread.h",
)

# Where the C library's fixed-width types are, so that e.g. `int64_t` and
# `long` compare equal.
SYSTEM_TYPE_HEADERS = ("stdint.h", "stddef.h")

CLANG_FLAGS = ("-std=c++17", "-fno-color-diagnostics")


# --------------------------------------------------------------------------
# Model of one side's declarations


@dataclasses.dataclass
class Scope:
    """A namespace or class, with the template parameters visible in it."""

    qname: tuple
    parent: "Scope | None" = None
    tparams: dict = dataclasses.field(default_factory=dict)  # name -> $d_i
    shown: tuple = None  # qname as written, for messages

    def __post_init__(self):
        if self.shown is None:
            self.shown = self.qname

    def chain(self):
        scope = self
        while scope is not None:
            yield scope
            scope = scope.parent


@dataclasses.dataclass
class Entity:
    """A name that types can refer to: namespace, class, enum or typedef."""

    kind: str  # namespace | class | enum | typedef
    qname: tuple
    scope: Scope = None  # for classes: their member scope
    tparams: list = dataclasses.field(default_factory=list)  # placeholders
    underlying: str = ""  # typedefs
    bases: list = dataclasses.field(default_factory=list)  # (access, virtual, type)
    members: dict = dataclasses.field(default_factory=dict)  # key -> [Decl]
    tsig: str = ""  # template parameter kinds
    decl: "Decl" = None  # classes and enums: their own declaration


@dataclasses.dataclass
class Decl:
    """One declaration to compare."""

    kind: str  # class | enum | function | typedef | field | constant
    qname: tuple
    scope: Scope  # where its types are looked up
    file: str
    line: int
    type: str = ""
    key: str = ""  # member key: name, or #ctor / #dtor / #conv
    owner: tuple = None  # qname of the class it is a member of
    attrs: dict = dataclasses.field(default_factory=dict)
    tsig: str = ""  # template parameter kinds, e.g. "typename,typename..."
    value: int = None  # constants
    shown: tuple = None  # qname as written, for messages

    @property
    def name(self):
        return "::".join(self.shown or self.qname)


class Side:
    """What one set of headers declares: names for lookup, decls to check.

    Declarations count only when they are in `include_dir`; a side without
    one (the C library's) supplies names only.
    """

    def __init__(self, include_dir=None):
        self.include_dir = include_dir and os.path.normpath(include_dir) + os.sep
        self.entities = {}  # qname -> Entity
        self.decls = []  # Decl, in source order
        self.functions = {}  # qname -> [Decl], free functions
        self.constants = {}  # qname -> Decl
        self.skipped = []  # descriptions, for --verbose

    def owns(self, path):
        return bool(self.include_dir and path) and \
            os.path.normpath(path).startswith(self.include_dir)

    def relative(self, path):
        """A path as the headers include it: include/..."""
        root = os.path.dirname(os.path.dirname(self.include_dir))
        return os.path.relpath(os.path.normpath(path), root)


# --------------------------------------------------------------------------
# Reading clang's JSON AST

TEMPLATE_PARAM_KINDS = ("TemplateTypeParmDecl", "NonTypeTemplateParmDecl",
                        "TemplateTemplateParmDecl")
FUNCTION_KINDS = ("FunctionDecl", "CXXMethodDecl", "CXXConstructorDecl",
                  "CXXDestructorDecl", "CXXConversionDecl")
TAG_KINDS = ("CXXRecordDecl", "RecordDecl", "EnumDecl")


def children(node):
    """A node's children, without the doc comments clang attaches."""
    return [c for c in node.get("inner", []) if not c.get("kind", "").endswith("Comment")]


UNARY_OPERATORS = {"-": lambda a: -a, "+": lambda a: a, "~": lambda a: ~a,
                   "!": lambda a: int(not a)}
BINARY_OPERATORS = {"<<": lambda a, b: a << b, ">>": lambda a, b: a >> b,
                    "|": lambda a, b: a | b, "&": lambda a, b: a & b,
                    "^": lambda a, b: a ^ b, "+": lambda a, b: a + b,
                    "-": lambda a, b: a - b, "*": lambda a, b: a * b}


def annotate_locations(node):
    """Stores in each node its file, line and offset ("_file", "_line",
    "_offset") and where its source range begins ("_begin").

    clang's JSON omits a location's file (and line) when it equals the
    previously printed one, so locations can only be resolved by walking the
    whole dump in document order.
    """
    state = {"file": None, "line": None}

    def bare(loc):
        if "file" in loc:
            state["file"] = loc["file"]
        if "line" in loc:
            state["line"] = loc["line"]
        return state["file"], state["line"], loc.get("offset")

    def location(loc):
        # A macro location prints its spelling first, then its expansion:
        # the declaration is where the macro is used.
        if "spellingLoc" in loc:
            bare(loc["spellingLoc"])
            return bare(loc["expansionLoc"])
        return bare(loc)

    stack = [node]
    while stack:
        item = stack.pop()
        if isinstance(item, list):
            stack.extend(reversed(item))
            continue
        if not isinstance(item, dict):
            continue
        nested = []
        for key, value in list(item.items()):
            if key == "loc" and value:
                item["_file"], item["_line"], item["_offset"] = location(value)
            elif key == "range" and value:
                begin = location(value["begin"])
                item["_begin"] = (begin[0], begin[2])
                location(value["end"])
            elif isinstance(value, (dict, list)):
                nested.append(value)
        stack.extend(reversed(nested))


def placeholder(depth, index):
    return f"${depth}_{index}"


def template_params(nodes):
    """Returns ({name: placeholder}, "kind,kind...") of a template's params."""
    names, kinds = {}, []
    for node in nodes:
        kind = node.get("kind")
        if kind == "TemplateTypeParmDecl":
            spelled = "typename"
        elif kind == "NonTypeTemplateParmDecl":
            spelled = node["type"]["qualType"]
        elif kind == "TemplateTemplateParmDecl":
            spelled = "template"
        else:
            continue
        if node.get("isParameterPack"):
            spelled += "..."
        kinds.append(spelled)
        if node.get("name"):
            names[node["name"]] = placeholder(node.get("depth", 0), node.get("index", 0))
    return names, ",".join(kinds)


def template_arguments(nodes):
    """Spells the arguments of a class template specialization."""
    args = []
    for node in nodes:
        if node.get("kind") != "TemplateArgument":
            continue
        if "type" in node:
            args.append(node["type"]["qualType"])
        elif "value" in node:
            args.append(str(node["value"]))
        else:
            args.append("?")
    return "<" + ", ".join(args) + ">"


def spell_placeholders(text, names):
    """Puts template parameters' names back in place of their positions."""
    by_position = {ph: name for name, ph in names.items()}
    text = re.sub(r"type-parameter-(\d+)-(\d+)", r"$\1_\2", text)
    return re.sub(r"\$\d+_\d+", lambda m: by_position.get(m.group(0), m.group(0)), text)


def evaluate(expr, values):
    """Evaluates the integer constant expressions headers use for constants."""
    kind = expr.get("kind")
    inner = children(expr)
    if kind == "ConstantExpr" and "value" in expr:
        return int(expr["value"])
    if kind in ("IntegerLiteral", "CXXBoolLiteralExpr"):
        return int(expr["value"])
    if kind in ("ConstantExpr", "ImplicitCastExpr", "ParenExpr", "CStyleCastExpr"):
        return evaluate(inner[0], values) if inner else None
    if kind == "DeclRefExpr":
        return values.get(expr.get("referencedDecl", {}).get("id"))
    operands = [evaluate(child, values) for child in inner]
    if None in operands or not operands:
        return None
    opcode = expr.get("opcode")
    if kind == "UnaryOperator" and opcode in UNARY_OPERATORS:
        return UNARY_OPERATORS[opcode](operands[0])
    if kind == "BinaryOperator" and opcode in BINARY_OPERATORS and len(operands) == 2:
        return BINARY_OPERATORS[opcode](*operands)
    return None


class Collector:
    """Fills a Side from clang's JSON AST of its headers."""

    def __init__(self, side):
        self.side = side
        self.sources = {}  # path -> bytes, for decl-specifiers
        self.values = {}  # AST id -> value of enum constants and constants
        self.contexts = {}  # AST id -> Scope of namespaces and classes

    def collect(self, tu):
        annotate_locations(tu)
        root = Scope(())
        self.contexts[tu.get("id")] = root
        self._context(children(tu), root, None, None)

    # -- declaration contexts

    def _context(self, nodes, scope, owner, access):
        """Walks a namespace's or class's declarations in order."""
        anonymous_tags = {}
        for node in nodes:
            kind = node.get("kind", "")
            if node.get("isImplicit") or kind in TEMPLATE_PARAM_KINDS or kind == "TemplateArgument":
                continue
            if kind == "AccessSpecDecl":
                access = node["access"]
                continue
            if kind == "LinkageSpecDecl":
                self._context(children(node), scope, owner, access)
                continue
            if kind == "NamespaceDecl":
                self._namespace(node, scope)
                continue
            if not self.side.owns(node.get("_file")):
                if self.side.include_dir is None and kind == "TypedefDecl":
                    self._typedef(node, scope, None, None, checked=False)
                continue
            if access == "private":
                self._skip(node, scope, "private member")
                continue
            if kind in TAG_KINDS and not node.get("name"):
                anonymous_tags[node["id"]] = node
                continue
            if kind in ("TypedefDecl", "TypeAliasDecl"):
                tag = self._owned_tag(node, anonymous_tags)
                if tag is not None:
                    self._tag(tag, scope, owner, access, name=node["name"])
                    continue
            self._declaration(node, kind, scope, owner, access)
        for tag in anonymous_tags.values():
            self._enumerators(tag, scope, owner, access, enum_qname=None)

    def _declaration(self, node, kind, scope, owner, access):
        if kind in TAG_KINDS:
            semantic = self.contexts.get(node.get("parentDeclContextId"), scope)
            if semantic is not scope:
                # `class X` first met in a member's parameter list declares
                # X in the enclosing namespace, not in the class.
                scope, owner, access = semantic, None, None
            self._tag(node, scope, owner, access, name=node["name"])
        elif kind == "ClassTemplateDecl":
            names, tsig = template_params(children(node))
            pattern = next((n for n in children(node) if n.get("kind") == "CXXRecordDecl"), None)
            if pattern is not None:
                self._tag(pattern, scope, owner, access, name=node["name"],
                          tparams=names, tsig=tsig)
        elif kind in ("ClassTemplatePartialSpecializationDecl",
                      "ClassTemplateSpecializationDecl"):
            names, tsig = template_params(children(node))
            args = template_arguments(children(node))
            # Keyed by its arguments with parameters by position, shown with
            # their names.
            self._tag(node, scope, owner, access, name=node["name"] + render(tokenize(args)),
                      tparams=names, tsig=tsig,
                      shown=node["name"] + spell_placeholders(args, names))
        elif kind in FUNCTION_KINDS:
            self._function(node, scope, owner, access)
        elif kind == "FunctionTemplateDecl":
            names, tsig = template_params(children(node))
            # The first function is the template; any others are its
            # instantiations.
            pattern = next((n for n in children(node) if n.get("kind") in FUNCTION_KINDS), None)
            if pattern is not None:
                self._function(pattern, Scope(scope.qname, scope, names, scope.shown),
                               owner, access, tsig=tsig)
        elif kind in ("TypedefDecl", "TypeAliasDecl"):
            self._typedef(node, scope, owner, access)
        elif kind == "TypeAliasTemplateDecl":
            names, tsig = template_params(children(node))
            alias = next((n for n in children(node) if n.get("kind") == "TypeAliasDecl"), None)
            if alias is not None:
                self._typedef(alias, Scope(scope.qname, scope, names, scope.shown), owner,
                              access, tparams=list(names.values()), tsig=tsig)
        elif kind == "VarDecl":
            self._variable(node, scope, owner, access)
        elif kind == "FieldDecl":
            self._field(node, scope, owner, access)
        else:
            self._skip(node, scope, f"{kind}, not compared")

    def _namespace(self, node, scope):
        name = node.get("name", "")
        qname = scope.qname + (name,)
        if name in SKIPPED_NAMESPACES:
            if self.side.owns(node.get("_file")):
                self.side.skipped.append(
                    f"namespace {'::'.join(qname)} ({self._where(node)}): implementation")
            return
        self.side.entities.setdefault(qname, Entity("namespace", qname))
        inner = Scope(qname, scope)
        self.contexts[node.get("id")] = inner
        self._context(children(node), inner, None, None)

    @staticmethod
    def _owned_tag(typedef, anonymous_tags):
        """The anonymous struct or enum a typedef names, if any."""
        for child in children(typedef):
            owned = child.get("ownedTagDecl", {}).get("id")
            if owned in anonymous_tags:
                return anonymous_tags.pop(owned)
        return None

    # -- individual declarations

    def _tag(self, node, scope, owner, access, name, tparams=None, tsig="", shown=None):
        qname = scope.qname + (name,)
        is_enum = node.get("kind") == "EnumDecl"
        entity = self.side.entities.get(qname)
        if entity is None or entity.kind not in ("class", "enum"):
            member_scope = Scope(qname, scope, dict(tparams or {}), scope.shown + (shown or name,))
            entity = Entity("enum" if is_enum else "class", qname, member_scope,
                            tparams=list((tparams or {}).values()), tsig=tsig)
            self.side.entities[qname] = entity
            entity.decl = Decl("enum" if is_enum else "class", qname, scope,
                               node.get("_file"), node.get("_line"), owner=owner, tsig=tsig,
                               attrs={"access": access or "public"}, shown=member_scope.shown)
            self.side.decls.append(entity.decl)
        self.contexts[node.get("id")] = entity.scope
        if not (node.get("completeDefinition") or is_enum and children(node)):
            return  # a forward declaration
        decl = entity.decl
        decl.file, decl.line = node.get("_file"), node.get("_line")
        if is_enum:
            decl.attrs["tag"] = " ".join(filter(None, ["enum", node.get("scopedEnumTag")]))
            decl.type = node.get("fixedUnderlyingType", {}).get("qualType", "")
            scoped = bool(node.get("scopedEnumTag"))
            self._enumerators(node, scope, owner, access, enum_qname=qname if scoped else None)
            return
        decl.attrs["tag"] = node.get("tagUsed", "class")
        entity.bases = [(b.get("writtenAccess", b.get("access", "")),
                         bool(b.get("isVirtual")), b["type"]["qualType"])
                        for b in node.get("bases", [])]
        decl.attrs["bases"] = entity.bases
        default = "private" if decl.attrs["tag"] == "class" else "public"
        self._context(children(node), entity.scope, qname, default)

    def _enumerators(self, node, scope, owner, access, enum_qname):
        value = -1
        for child in children(node):
            if child.get("kind") != "EnumConstantDecl":
                continue
            init = children(child)
            if init:
                value = evaluate(init[0], self.values)
            elif value is not None:
                value += 1
            self.values[child["id"]] = value
            qname = (enum_qname or scope.qname) + (child["name"],)
            self._add_constant(Decl("constant", qname, scope, node.get("_file"),
                                    child.get("_line") or node.get("_line"), owner=owner,
                                    value=value, attrs={"access": access or "public"}))

    def _function(self, node, scope, owner, access, tsig=""):
        kind = node["kind"]
        key = {"CXXConstructorDecl": "#ctor", "CXXDestructorDecl": "#dtor",
               "CXXConversionDecl": "#conv"}.get(kind, node["name"])
        name = {"#ctor": scope.shown[-1:], "#dtor": ("~" + "".join(scope.shown[-1:]),),
                "#conv": ("operator",)}.get(key, (node["name"],))[0]
        name = re.sub(r"<.*", "", name) if key in ("#ctor", "#dtor") else name
        attrs = {
            "access": access or "public",
            "virtual": bool(node.get("virtual")) or any(
                a.get("kind") in ("OverrideAttr", "FinalAttr") for a in children(node)),
            "pure": bool(node.get("pure")),
            "deleted": bool(node.get("explicitlyDeleted")),
            "explicit": re.search(r"\bexplicit\b", self._specifiers(node)) is not None,
            # `static` on a namespace-scope function is linkage, not part of
            # how callers see it; on a member it is.
            "static": owner is not None and node.get("storageClass") == "static",
        }
        function_type = node["type"]["qualType"]
        if key == "#dtor":
            # clang prints the noexcept a destructor gets implicitly, which
            # follows from its members, not from what is written.
            function_type = re.sub(r"\s+(noexcept|throw\(\))$", "", function_type)
        decl = Decl("function", scope.qname + (name,), scope, node.get("_file"),
                    node.get("_line"), type=function_type, key=key, owner=owner,
                    attrs=attrs, tsig=tsig, shown=scope.shown + (name,))
        same_name = (self.side.entities[owner].members.setdefault(key, []) if owner
                     else self.side.functions.setdefault(decl.qname, []))
        if any(d.type == decl.type and d.tsig == tsig for d in same_name):
            return  # a redeclaration
        same_name.append(decl)
        self.side.decls.append(decl)

    def _typedef(self, node, scope, owner, access, tparams=None, tsig="", checked=True):
        qname = scope.qname + (node["name"],)
        if qname in self.side.entities:
            return  # a redeclaration
        underlying = node["type"]["qualType"]
        self.side.entities[qname] = Entity("typedef", qname, scope, tparams=tparams or [],
                                           underlying=underlying, tsig=tsig)
        if checked:
            self.side.decls.append(Decl("typedef", qname, scope, node.get("_file"),
                                        node.get("_line"), type=underlying, owner=owner,
                                        tsig=tsig, attrs={"access": access or "public"},
                                        shown=scope.shown + (node["name"],)))

    def _variable(self, node, scope, owner, access):
        init = children(node)
        value = evaluate(init[-1], self.values) if init and node.get("init") else None
        self.values[node["id"]] = value
        self._add_constant(Decl("constant", scope.qname + (node["name"],), scope,
                                node.get("_file"), node.get("_line"),
                                type=node["type"]["qualType"], owner=owner, value=value,
                                attrs={"access": access or "public"},
                                shown=scope.shown + (node["name"],)))

    def _add_constant(self, decl):
        if decl.qname not in self.side.constants:
            self.side.constants[decl.qname] = decl
            self.side.decls.append(decl)

    def _field(self, node, scope, owner, access):
        decl = Decl("field", scope.qname + (node["name"],), scope, node.get("_file"),
                    node.get("_line"), type=node["type"]["qualType"], key=node["name"],
                    owner=owner, attrs={"access": access or "public"},
                    shown=scope.shown + (node["name"],))
        self.side.entities[owner].members.setdefault(decl.key, []).append(decl)
        self.side.decls.append(decl)

    # -- helpers

    def _specifiers(self, node):
        """The source text between a declaration's start and its name.

        clang's JSON has no "explicit" flag; the decl-specifiers tell.
        """
        begin_file, begin = node.get("_begin", (None, None))
        end = node.get("_offset")
        if begin_file != node.get("_file") or begin is None or end is None:
            return ""
        if begin_file not in self.sources:
            with open(begin_file, "rb") as f:
                self.sources[begin_file] = f.read()
        return self.sources[begin_file][begin:end].decode("utf-8", "replace")

    def _skip(self, node, scope, why):
        name = node.get("name") or node.get("kind")
        self.side.skipped.append(f"{'::'.join(scope.shown + (name,))} ({self._where(node)}): {why}")

    def _where(self, node):
        return f"{self.side.relative(node['_file'])}:{node.get('_line')}"


# --------------------------------------------------------------------------
# Types: spelled and canonical forms

TOKEN_RE = re.compile(r"\$\d+_\d+|[A-Za-z_]\w*|::|\.\.\.|\d+|\S")
ELABORATIONS = {"class", "struct", "union", "enum", "typename"}
KEYWORDS = ELABORATIONS | {
    "const", "volatile", "unsigned", "signed", "short", "long", "int", "char",
    "bool", "void", "float", "double", "wchar_t", "char8_t", "char16_t",
    "char32_t", "auto", "decltype", "noexcept", "throw", "sizeof", "operator",
    "template", "nullptr_t", "__int128", "restrict", "__restrict", "true",
    "false",
}


def tokenize(text):
    text = re.sub(r"type-parameter-(\d+)-(\d+)", r"$\1_\2", text)
    return [t for t in TOKEN_RE.findall(text) if t not in ELABORATIONS]


def render(tokens):
    """Joins tokens with a space only where two words meet."""
    out = []
    for token in tokens:
        if out and wordlike(out[-1][-1]) and wordlike(token[0]):
            out.append(" ")
        out.append(token)
    return "".join(out)


def wordlike(char):
    return char.isalnum() or char in "_$"


def is_name(token):
    return (token[0].isalpha() or token[0] in "_$") and token not in KEYWORDS


def spelled(text, scope):
    """The type as written, with template parameters named by position."""
    visible = {}
    for s in reversed(list(scope.chain())):
        visible.update(s.tparams)
    return render([visible.get(t, t) for t in tokenize(text)])


class Resolver:
    """Rewrites a type with every name resolved and every typedef expanded.

    Names are looked up in the given sides in order. The stand-in's types
    are resolved in CEF's vocabulary first: each name it shares with CEF is
    meant to be CEF's (and is checked as such where it is declared), so a
    member spelled with it is compared for what it would mean in CEF.
    Names declared in neither (the C++ library's) stay as written.
    """

    MAX_DEPTH = 24  # typedef chains are short; this only stops cycles

    def __init__(self, sides):
        self.sides = sides

    def canonical(self, text, scope, subst=None):
        """The resolved type. `subst` binds template parameters ($d_i)."""
        return render(self._tokens(tokenize(text), scope, subst or {}, 0))

    def class_of(self, text, scope, subst=None):
        """(class Entity, substitution of its parameters) a type names."""
        tokens = self._tokens(tokenize(text), scope, subst or {}, 0)
        chain, end = read_name(tokens, 0)
        entity = self._lookup(tuple(name for name, _ in chain)) if chain else None
        if entity is None or entity.kind != "class" or end != len(tokens):
            return None, {}
        return entity, dict(zip(entity.tparams, chain[-1][1] or []))

    def _lookup(self, qname):
        for side in self.sides:
            entity = side.entities.get(qname)
            if entity is not None:
                return entity
        return None

    def _tokens(self, tokens, scope, subst, depth):
        out, i = [], 0
        while i < len(tokens):
            if starts_name(tokens, i):
                chain, i = read_name(tokens, i)
                out += self._name(chain, scope, subst, depth)
            else:
                out.append(tokens[i])
                i += 1
        return out

    def _name(self, chain, scope, subst, depth):
        """Resolves one qualified name, e.g. `Outer<A>::Inner`."""
        chain = [(name, None if args is None else
                  [self._tokens(arg, scope, subst, depth + 1) for arg in args])
                 for name, args in chain]
        if depth > self.MAX_DEPTH:
            return name_tokens(chain)
        if chain[0][0] == "::":
            chain = chain[1:]
            entity, bound = self._lookup(chain[0][:1]), None
        else:
            entity, bound = self._in_scope(chain[0][0], scope, subst)
        if bound is not None:
            # A template parameter: substitute, then resolve what follows
            # (`traits::char_type`) in what it is bound to.
            tokens = bound + name_tokens(chain[1:], leading=True)
            if bound == [chain[0][0]] or len(chain) == 1:
                return tokens
            return self._tokens(tokens, Scope(()), {}, depth + 1)
        if entity is None:
            return name_tokens(chain)
        args, outer = chain[0][1], {}
        for n, (name, member_args) in enumerate(chain[1:], start=1):
            # Spelled without arguments, a class template's name inside
            # itself means its current instantiation: keep the binding.
            member, outer = self._member(entity, args, name, subst if args is None else {})
            if member is None:
                return self._spell(entity, args) + name_tokens(chain[n:], leading=True)
            entity, args = member, member_args
        return self._expand(entity, args, outer, depth)

    def _in_scope(self, name, scope, subst):
        """(entity, None) for a name, or (None, tokens) for a template param."""
        for s in scope.chain():
            if name in s.tparams:
                position = s.tparams[name]
                return None, list(subst.get(position, [position]))
            entity = self._lookup(s.qname + (name,))
            if entity is not None:
                return entity, None
        if name.startswith("$"):
            return None, list(subst.get(name, [name]))
        return None, None

    def _member(self, entity, args, name, subst, depth=0):
        """(member, substitution of its class's parameters) of `entity<args>`.

        Looks in base classes too, as C++ does.
        """
        outer = dict(subst, **dict(zip(entity.tparams, args or [])))
        if entity.kind == "typedef" and not entity.tparams:
            target, outer = self.class_of(entity.underlying, entity.scope)
            entity = target or entity
        member = self._lookup(entity.qname + (name,))
        if member is not None or depth > self.MAX_DEPTH:
            return member, outer
        for _, _, base in entity.bases:
            base_class, base_subst = self.class_of(base, entity.scope, outer)
            if base_class is not None:
                found = self._member(base_class, None, name, base_subst, depth + 1)
                if found[0] is not None:
                    return found
        return None, {}

    def _expand(self, entity, args, outer, depth):
        """A resolved entity as tokens; typedefs by what they stand for."""
        if entity.kind != "typedef":
            return self._spell(entity, args)
        subst = dict(outer, **dict(zip(entity.tparams, args or [])))
        return self._tokens(tokenize(entity.underlying), entity.scope, subst, depth + 1)

    @staticmethod
    def _spell(entity, args):
        return name_tokens([(name, None) for name in entity.qname[:-1]] +
                           [(entity.qname[-1], args)])


def starts_name(tokens, i):
    return is_name(tokens[i]) or (
        tokens[i] == "::" and i + 1 < len(tokens) and is_name(tokens[i + 1]))


def read_name(tokens, i):
    """Reads `::a<...>::b<...>` into [(name, [argument tokens] or None)]."""
    chain = []
    if tokens[i] == "::":
        chain.append(("::", None))
        i += 1
    while i < len(tokens) and is_name(tokens[i]):
        name, args = tokens[i], None
        i += 1
        if i < len(tokens) and tokens[i] == "<":
            args, i = read_arguments(tokens, i + 1)
        chain.append((name, args))
        if not (i + 1 < len(tokens) and tokens[i] == "::" and is_name(tokens[i + 1])):
            break
        i += 1
    return chain, i


def read_arguments(tokens, i):
    """Splits template arguments at top-level commas, up to the closing >."""
    args, current, depth = [], [], 0
    while i < len(tokens):
        token = tokens[i]
        if token == ">" and depth == 0:
            break
        if token == "," and depth == 0:
            args.append(current)
            current = []
        else:
            depth += (token in ("<", "(", "[")) - (token in (">", ")", "]"))
            current.append(token)
        i += 1
    if current or args:
        args.append(current)
    return args, i + 1


def name_tokens(chain, leading=False):
    """Spells [(name, args)] back as tokens; `leading` prefixes a ::."""
    out = []
    for n, (name, args) in enumerate(chain):
        if (n or leading) and name != "::" and out[-1:] != ["::"]:
            out.append("::")
        out.append(name)
        if args is not None:
            out.append("<")
            for k, arg in enumerate(args):
                out += ([","] if k else []) + arg
            out.append(">")
    return out


# --------------------------------------------------------------------------
# Rendering declarations for messages


def split_function_type(text):
    """Splits "R (P1, P2) const" into ("R", "P1, P2", "const")."""
    quals = ""
    match = re.search(r"\s+(noexcept|throw\(\))$", text)
    if match:
        quals, text = match.group(1), text[:match.start()]
    end = len(text)
    while end and not text[:end].endswith(")"):
        end -= 1
    tail = (text[end:].strip() + " " + quals).strip()
    depth = 0
    for start in range(end - 1, -1, -1):
        depth += {")": 1, "(": -1}.get(text[start], 0)
        if depth == 0:
            return text[:start].strip(), text[start + 1:end - 1], tail
    return text, "", tail


def shorten(text, width):
    return text if len(text) <= width else text[:width - 3] + "..."


def parameter_count(function_type):
    _, params, _ = split_function_type(function_type)
    if not params.strip():
        return 0
    depth, count = 0, 1
    for char in params:
        depth += {"<": 1, "(": 1, ">": -1, ")": -1}.get(char, 0)
        count += char == "," and depth == 0
    return count


def describe(decl):
    """A declaration as C++ would spell it, for messages."""
    name = decl.name
    prefix = "" if decl.attrs.get("access", "public") == "public" else decl.attrs["access"] + ": "
    if decl.tsig:
        prefix += f"template <{decl.tsig}> "
    if decl.kind in ("class", "enum"):
        text = f"{decl.attrs.get('tag', decl.kind)} {name}"
        if decl.type:
            text += f" : {decl.type}"
        bases = decl.attrs.get("bases") or []
        if bases:
            text += " : " + ", ".join(
                " ".join(filter(None, [access, "virtual" if virtual else "", base]))
                for access, virtual, base in bases)
        return prefix + text
    if decl.kind == "typedef":
        return f"{prefix}using {name} = {decl.type}"
    if decl.kind == "field":
        return f"{prefix}{decl.type} {name}"
    if decl.kind == "constant":
        typed = f"{decl.type} " if decl.type else ""
        return f"{prefix}{typed}{name} = {decl.value if decl.value is not None else '?'}"
    ret, params, quals = split_function_type(decl.type)
    specifiers = [s for s in ("static", "virtual", "explicit") if decl.attrs.get(s)]
    if decl.key == "#conv":
        name = f"{name} {ret}"
    if decl.key.startswith("#"):
        ret = ""
    text = " ".join(filter(None, specifiers + [ret, f"{name}({params})"]))
    if quals:
        text += " " + quals
    if decl.attrs.get("pure"):
        text += " = 0"
    if decl.attrs.get("deleted"):
        text += " = delete"
    return prefix + text


# --------------------------------------------------------------------------
# Comparing


@dataclasses.dataclass
class Finding:
    decl: Decl
    message: str
    count: int = 1  # declarations it accounts for


class Comparer:
    """Finds, for each stand-in declaration, CEF's and compares the two."""

    def __init__(self, standin, cef, system):
        self.standin, self.cef = standin, cef
        self.standin_types = Resolver([cef, standin, system])
        self.cef_types = Resolver([cef, system])
        self.missing_classes = set()
        self.class_targets = {}  # stand-in class qname -> (CEF class Entity, subst)

    def run(self):
        """Returns (findings, number of declarations compared)."""
        findings, checked = [], 0
        for decl in self.standin.decls:
            if decl.owner in self.missing_classes:
                continue  # accounted for by its class
            checked += 1
            finding = getattr(self, f"_check_{decl.kind}")(decl)
            if finding is not None:
                findings.append(finding)
                checked += finding.count - 1
        return findings, checked

    # -- one check per kind of declaration

    def _check_class(self, decl):
        entity, subst, alias = self._cef_class(decl.qname)
        self.class_targets[decl.qname] = (entity, subst)
        if alias is not None:
            # Still compared member by member with the class it names.
            return self._differs(decl, describe(alias))
        if entity is None:
            return self._missing_class(decl)
        theirs = entity.decl
        if decl.tsig != theirs.tsig:
            return self._differs(decl, describe(theirs))
        both_defined = "bases" in decl.attrs and "bases" in theirs.attrs
        if both_defined and (decl.attrs["tag"] != theirs.attrs["tag"] or
                             self._bases(decl, self.standin_types, {}) !=
                             self._bases(theirs, self.cef_types, subst)):
            return self._differs(decl, describe(theirs))
        return None

    def _check_enum(self, decl):
        entity = self.cef.entities.get(decl.qname)
        if entity is None:
            return self._missing(decl)
        if entity.kind != "enum":
            return self._differs(decl, f"{entity.kind} {decl.name}")
        theirs = entity.decl
        if (decl.attrs.get("tag"), decl.type) != (theirs.attrs.get("tag"), theirs.type):
            return self._differs(decl, describe(theirs))
        return None

    def _check_function(self, decl):
        if decl.owner is None:
            candidates = [(d, {}) for d in self.cef.functions.get(decl.qname, [])]
        else:
            candidates = self._members(decl.owner, decl.key)
        candidates = [(d, s) for d, s in candidates if d.kind == "function"]
        if not candidates:
            return self._missing(decl)
        same_type = [(d, s) for d, s in candidates
                     if d.tsig == decl.tsig and self._same_type(decl, d, s)]
        if any(self._attrs(decl) == self._attrs(d) for d, _ in same_type):
            return None
        return self._differs(decl, self._closest(decl, same_type or candidates))

    def _check_typedef(self, decl):
        entity, subst = self._cef_member_entity(decl)
        if entity is None:
            return self._missing(decl)
        if entity.kind != "typedef":
            return self._differs(decl, f"{entity.kind} {decl.name}")
        theirs = Decl("typedef", entity.qname, entity.scope, "", 0, type=entity.underlying,
                      tsig=entity.tsig)
        if theirs.tsig != decl.tsig or not self._same_type(decl, theirs, subst):
            return self._differs(decl, describe(theirs))
        return None

    def _check_field(self, decl):
        fields = [(d, s) for d, s in self._members(decl.owner, decl.key) if d.kind == "field"]
        if not fields:
            return self._missing(decl)
        theirs, subst = fields[0]
        if decl.attrs["access"] != theirs.attrs["access"] or \
                not self._same_type(decl, theirs, subst):
            return self._differs(decl, describe(theirs))
        return None

    def _check_constant(self, decl):
        theirs = self.cef.constants.get(decl.qname)
        if theirs is None and decl.owner is not None:
            target, _ = self.class_targets.get(decl.owner, (None, {}))
            if target is not None:
                theirs = self.cef.constants.get(target.qname + decl.qname[-1:])
        if theirs is None:
            return self._missing(decl)
        if decl.value != theirs.value or (
                decl.type and not self._same_type(decl, theirs, {})):
            return self._differs(decl, describe(theirs))
        return None

    # -- finding CEF's counterparts

    def _cef_class(self, qname):
        """(class Entity, substitution, alias) CEF has for a stand-in class.

        `alias` is CEF's typedef when CEF declares the name as an alias of
        some class; that class is then the Entity, its template parameters
        bound by the substitution.
        """
        entity = self.cef.entities.get(qname)
        if entity is None and len(qname) > 1:
            outer, _, _ = self._cef_class(qname[:-1])
            if outer is not None:
                entity = self.cef.entities.get(outer.qname + qname[-1:])
        if entity is None or entity.kind not in ("class", "typedef"):
            return None, {}, None
        if entity.kind == "class":
            return entity, {}, None
        target, subst = self.cef_types.class_of(entity.underlying, entity.scope)
        alias = Decl("typedef", entity.qname, entity.scope, "", 0, type=entity.underlying,
                     tsig=entity.tsig)
        return target, subst, alias

    def _cef_member_entity(self, decl):
        """CEF's entity of the stand-in's name, also inside an aliased class."""
        entity = self.cef.entities.get(decl.qname)
        if entity is not None or decl.owner is None:
            return entity, {}
        target, subst = self.class_targets.get(decl.owner, (None, {}))
        if target is None:
            return None, {}
        return self.cef.entities.get(target.qname + decl.qname[-1:]), subst

    def _members(self, owner, key):
        """CEF's members `key` of the class that the stand-in's `owner` is.

        As in C++, lookup goes on into base classes when the class itself
        has no such member; constructors and destructors are not inherited.
        """
        entity, subst = self.class_targets.get(owner, (None, {}))
        seen = set()
        while entity is not None and entity.qname not in seen:
            seen.add(entity.qname)
            found = entity.members.get(key)
            if found:
                return [(d, subst) for d in found]
            if key in ("#ctor", "#dtor"):
                return []
            entity, subst = self._base_with(entity, subst, key)
        return []

    def _base_with(self, entity, subst, key):
        """The nearest base class (and its substitution) declaring `key`."""
        for _, _, base in entity.bases:
            base_entity, base_subst = self.cef_types.class_of(base, entity.scope, subst)
            if base_entity is None:
                continue
            if base_entity.members.get(key):
                return base_entity, base_subst
            deeper = self._base_with(base_entity, base_subst, key)
            if deeper[0] is not None:
                return deeper
        return None, {}

    # -- comparing

    def _same_type(self, ours, theirs, subst):
        """Whether two declarations' types agree.

        First as spelled (template parameters by position): what a reader
        compares, needing no name resolution. Failing that, with every name
        resolved and every typedef expanded, so that a type spelled through
        another alias, or through CEF's template parameters (`traits`, `T`)
        bound to what the stand-in names, still matches.
        """
        if spelled(ours.type, ours.scope) == spelled(theirs.type, theirs.scope):
            return True
        return (self.standin_types.canonical(ours.type, ours.scope)
                == self.cef_types.canonical(theirs.type, theirs.scope, subst))

    @staticmethod
    def _attrs(decl):
        return tuple(decl.attrs.get(k) for k in
                     ("access", "static", "virtual", "pure", "deleted", "explicit"))

    def _bases(self, decl, resolver, subst):
        scope = Scope(decl.qname, decl.scope)
        return [(access, virtual, resolver.canonical(base, scope, subst))
                for access, virtual, base in decl.attrs["bases"]]

    # -- findings

    def _missing(self, decl):
        return Finding(decl, f"missing in {CEF_LABEL}: {describe(decl)}")

    def _missing_class(self, decl):
        members = [d for d in self.standin.decls
                   if d.owner is not None and d.owner[:len(decl.qname)] == decl.qname]
        self.missing_classes.add(decl.qname)
        self.missing_classes.update(d.owner for d in members)
        suffix = f" (and its {len(members)} members)" if members else ""
        return Finding(decl, f"missing in {CEF_LABEL}: {describe(decl)}{suffix}",
                       count=1 + len(members))

    def _closest(self, decl, candidates, shown=2, width=200):
        """CEF's overloads most like the stand-in's, for the message."""
        arity = parameter_count(decl.type)
        ours = self.standin_types.canonical(decl.type, decl.scope)

        def distance(candidate):
            theirs, subst = candidate
            resolved = self.cef_types.canonical(theirs.type, theirs.scope, subst)
            likeness = difflib.SequenceMatcher(None, ours, resolved).ratio()
            return abs(parameter_count(theirs.type) - arity), -likeness

        ranked = [d for d, _ in sorted(candidates, key=distance)]
        text = " | ".join(shorten(describe(d), width) for d in ranked[:shown])
        if len(ranked) > shown:
            text += f" | ({len(ranked) - shown} more overloads)"
        return text

    @staticmethod
    def _differs(decl, theirs):
        return Finding(decl, f"differs: stand-in `{describe(decl)}` vs CEF `{theirs}`")


# --------------------------------------------------------------------------
# Running clang


def fail(message):
    print(f"check-cef-signatures: {message}", file=sys.stderr)
    sys.exit(2)


def find_clang(explicit):
    for candidate in ([explicit] if explicit else ["clang++-14", "clang++"]):
        path = shutil.which(candidate)
        if path:
            return path
    fail(f"{explicit or 'clang++'} not found (apt-get install -y clang)")


def build_prelude(clang, workdir):
    """Precompiles the standard headers; None if that fails (slower then)."""
    source = os.path.join(workdir, "prelude.h")
    with open(source, "w") as f:
        for header in PRELUDE_HEADERS:
            f.write(f"#if __has_include(<{header}>)\n#include <{header}>\n#endif\n")
    pch = source + ".pch"
    result = subprocess.run([clang, *CLANG_FLAGS, "-x", "c++-header", source, "-o", pch],
                            capture_output=True, text=True)
    return pch if result.returncode == 0 else None


def dump_ast(clang, include_roots, headers, workdir, pch, label):
    """Parses `headers` as one translation unit; returns clang's JSON AST."""
    source = os.path.join(workdir, f"{label}.cc")
    with open(source, "w") as f:
        f.writelines(f"#include {h}\n" for h in headers)
    command = [clang, *CLANG_FLAGS, "-fsyntax-only"]
    for root in include_roots:
        command += ["-I", root]
    if pch:
        command += ["-include-pch", pch]
    command += ["-Xclang", "-ast-dump=json", source]
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"the {label} headers do not parse:\n{result.stderr[:3000]}")
    return json.loads(result.stdout)


def parse_sides(clang, standin_root, cef_root, headers, cef_headers):
    """The stand-in's side, CEF's, and the C library's fixed-width types."""
    quoted = [f'"include/{h}"' for h in headers]
    with tempfile.TemporaryDirectory(prefix="cef-signatures-") as workdir:
        pch = build_prelude(clang, workdir)
        with ThreadPoolExecutor(max_workers=3) as pool:
            jobs = [
                pool.submit(dump_ast, clang, [standin_root], quoted, workdir, pch, "stand-in"),
                pool.submit(dump_ast, clang, [cef_root], [f'"include/{h}"' for h in cef_headers],
                            workdir, pch, "CEF"),
                # Without the prelude, so that their typedefs are in the dump.
                pool.submit(dump_ast, clang, [], [f"<{h}>" for h in SYSTEM_TYPE_HEADERS],
                            workdir, None, "system"),
            ]
            asts = [job.result() for job in jobs]
    sides = [Side(os.path.join(standin_root, "include")),
             Side(os.path.join(cef_root, "include")),
             Side()]
    for side, ast in zip(sides, asts):
        Collector(side).collect(ast)
    return sides


def list_headers(standin_root):
    """The stand-in's headers relative to include/, and notes on those left out."""
    include = os.path.join(standin_root, "include")
    checked, skipped = [], []
    for directory, _, files in os.walk(include):
        for name in sorted(files):
            relative = os.path.relpath(os.path.join(directory, name), include)
            if name.endswith(OTHER_PLATFORM_SUFFIXES):
                skipped.append(f"include/{relative}: another platform's header")
            elif name.endswith(".h"):
                checked.append(relative)
    return sorted(checked), skipped


def default_standin_root():
    project = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    for candidate in ("cef_standin/root", "cef_standin"):
        path = os.path.join(project, candidate)
        if os.path.isfile(os.path.join(path, "include", "cef_app.h")):
            return path
    return os.path.join(project, "cef_standin")


def check_cef_root(cef_root):
    if not os.path.isdir(cef_root):
        fail(f"no CEF root at {cef_root}")
    version_header = os.path.join(cef_root, "include", "cef_version.h")
    if not os.path.isfile(os.path.join(cef_root, "include", "cef_app.h")):
        fail(f"{cef_root} is not a CEF distribution root (no include/cef_app.h)")
    if os.path.isfile(version_header):
        with open(version_header) as f:
            match = re.search(r'#define CEF_VERSION "([\d.]+)', f.read())
        if match and match.group(1) != CEF_VERSION:
            fail(f"{cef_root} is CEF {match.group(1)}; this checks against {CEF_LABEL}")


def parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0],
                                     allow_abbrev=False)
    parser.add_argument("cef_root", help="root of a CEF 81.3.10 distribution")
    parser.add_argument("--standin-root", metavar="DIR", default=None,
                        help="the stand-in's header root, holding include/ "
                             "(default: cef_standin/root or cef_standin)")
    parser.add_argument("--clang", default=None, help="clang++ to use")
    parser.add_argument("--verbose", "-v", action="store_true",
                        help="also list what was skipped and why")
    return parser.parse_args(argv)


def report(findings, total, standin, skipped, absent, verbose):
    """Prints the findings and the summary; returns the exit status."""
    if verbose:
        for item in skipped + standin.skipped:
            print(f"skipped {item}")
    for header in absent:
        # Its declarations are reported one by one below.
        print(f"missing in {CEF_LABEL}: header include/{header}")
    for finding in findings:
        where = f"{standin.relative(finding.decl.file)}:{finding.decl.line}"
        print(f"{finding.message}  ({where})")
    differing = sum(f.count for f in findings)
    if differing:
        print(f"CEF signatures: {differing} of {total} declarations differ")
        return 1
    print(f"CEF signatures: {total} declarations of the stand-in match {CEF_LABEL}")
    return 0


def main(argv):
    args = parse_args(argv)
    cef_root = os.path.abspath(args.cef_root)
    standin_root = os.path.abspath(args.standin_root or default_standin_root())
    check_cef_root(cef_root)
    if not os.path.isfile(os.path.join(standin_root, "include", "cef_app.h")):
        fail(f"no stand-in headers at {standin_root} (no include/cef_app.h)")
    clang = find_clang(args.clang)

    headers, skipped = list_headers(standin_root)
    absent = [h for h in headers if not os.path.isfile(os.path.join(cef_root, "include", h))]
    standin, cef, system = parse_sides(clang, standin_root, cef_root, headers,
                                       [h for h in headers if h not in absent])
    findings, total = Comparer(standin, cef, system).run()
    return report(findings, total, standin, skipped, absent, args.verbose)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
