#!/usr/bin/env python3
"""The manual page and the bash completion of a program, made from the program's own --help.

Both are rebuilt from what the program says about itself, so an option added to the program is
in its page and in its completion at the next build, and neither can drift from it. A program
with subcommands (a "Subcommands:" group in its --help) is asked for each subcommand's --help
too. What --help does not say (exit status, files, environment, examples) comes from a
hand-written roff file of [SECTION] blocks, as help2man's --include takes.

  help-docs.py man PROGRAM --name NAME --summary TEXT --version V --date YYYY-MM-DD
               [--include FILE] --output FILE
  help-docs.py bash-completion PROGRAM --name NAME --output FILE

The help text is read as blocks separated by blank lines: a "Usage:" line; a group (a heading
line ending in ":" over indented items, or indented items alone); or a paragraph. An item is a
term (options and their value, or a name), two or more blanks, and its description, which may
go on in the lines below, indented further.
"""

import argparse
import re
import subprocess
import sys

# A value placeholder after the option names: INT, TEXT:{a,b}, ADDR:PORT, FLOAT:SECONDS, N.
PLACEHOLDER = re.compile(r"^[A-Z][A-Z0-9_]*(:.*)?$")
OPTION_NAME = re.compile(r"^--?[A-Za-z0-9][A-Za-z0-9-]*$")
# Placeholders whose value is a file or folder name.
FILE_PLACEHOLDERS = {"TEXT", "FILE", "PATH", "DIR"}


class Item:
    def __init__(self, term, description):
        self.term = term
        self.description = description

    def option_names(self):
        """The option names the term starts with ("-h,--help", "-h, --help"), or none."""
        names = []
        for token in self.term.replace(",", " ").split():
            if not OPTION_NAME.match(token):
                break
            names.append(token)
        return names

    def placeholder(self):
        """The value placeholder after the option names, or None for a flag."""
        tokens = self.term.replace(", ", ",").split()
        if not tokens or not self.option_names():
            return None
        rest = tokens[1:]
        if rest and PLACEHOLDER.match(rest[0]) and rest[0] != "REQUIRED":
            return rest[0]
        return None

    def choices(self):
        """The values a placeholder such as TEXT:{always,changed,never} allows, or none."""
        placeholder = self.placeholder() or ""
        found = re.search(r"\{([^}]*)\}", placeholder)
        return found.group(1).split(",") if found else []

    def takes_file(self):
        placeholder = self.placeholder()
        return placeholder is not None and placeholder.split(":")[0] in FILE_PLACEHOLDERS


class Group:
    def __init__(self, heading):
        self.heading = heading  # None for items without a heading
        self.items = []


class Help:
    """One --help text: its usage, its paragraphs and groups in their order."""

    def __init__(self, text):
        self.usage = None
        self.blocks = []  # Group or str (a paragraph), in the order of the text
        for block in re.split(r"\n\s*\n", text.strip("\n")):
            self._read_block(block.split("\n"))

    def _read_block(self, lines):
        lines = [line.rstrip() for line in lines]
        usage = [i for i, line in enumerate(lines) if line.startswith("Usage:")]
        if usage:
            # The description may stand right above the usage line or right below it.
            self.usage = lines[usage[0]][len("Usage:"):].strip()
            for paragraph in (lines[:usage[0]], lines[usage[0] + 1:]):
                if paragraph:
                    self._read_block(paragraph)
            return
        heading = None
        if not lines[0].startswith(" ") and lines[0].endswith(":") and len(lines) > 1 and \
                lines[1].startswith(" "):
            heading = lines[0][:-1]
            lines = lines[1:]
        if heading is None and not lines[0].startswith(" "):
            # A line that starts with a label ("Exit codes: ...") starts a paragraph of its own.
            paragraph = []
            for line in lines:
                if paragraph and re.match(r"^[A-Z][A-Za-z ]*: ", line):
                    self.blocks.append("\n".join(paragraph))
                    paragraph = []
                paragraph.append(line)
            self.blocks.append("\n".join(paragraph))
            return
        group = Group(heading)
        for line in lines:
            indent = len(line) - len(line.lstrip())
            stripped = line.strip()
            if indent <= 4 or (stripped.startswith("-") and indent <= 8):
                parts = re.split(r"\s{2,}", stripped, maxsplit=1)
                group.items.append(Item(parts[0], parts[1] if len(parts) > 1 else ""))
            elif group.items:
                item = group.items[-1]
                item.description = (item.description + " " + stripped).strip()
            else:
                raise ValueError("a continuation line before any item: " + line)
        self.blocks.append(group)

    def groups(self):
        return [block for block in self.blocks if isinstance(block, Group)]

    def items(self):
        return [item for group in self.groups() for item in group.items]

    def options(self):
        return [item for item in self.items() if item.option_names()]

    def leading_and_trailing_paragraphs(self):
        """Paragraphs before the first group and after the last: the program's description."""
        indexes = [i for i, block in enumerate(self.blocks) if isinstance(block, Group)]
        if not indexes:
            return [block for block in self.blocks]
        return [block for i, block in enumerate(self.blocks)
                if isinstance(block, str) and (i < indexes[0] or i > indexes[-1])]


def help_of(program, *words):
    result = subprocess.run([program, *words, "--help"], capture_output=True, text=True,
                            check=False, timeout=60)
    if result.returncode != 0:
        sys.exit("help-docs.py: {} {} --help exited with {}: {}".format(
            program, " ".join(words), result.returncode, result.stderr.strip()))
    return Help(result.stdout)


class Program:
    def __init__(self, path):
        self.top = help_of(path)
        self.commands = []  # (name, summary, Help)
        for group in self.top.groups():
            if group.heading == "Subcommands":
                for item in group.items:
                    self.commands.append((item.term, item.description, help_of(path, item.term)))

    def command_names(self):
        return [name for name, _, _ in self.commands]


# ---------------------------------------------------------------- the manual page

def roff_text(text):
    """Plain text as roff: backslashes, hyphens and line-leading dots kept as they are."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    lines = []
    for line in text.split("\n"):
        if line.startswith((".", "'")):
            line = "\\&" + line
        lines.append(line)
    return "\n".join(lines)


def roff_term(term):
    """Option names in bold, the rest in roman."""
    words = []
    for word in term.split(" "):
        parts = re.split(r"(,)", word)
        words.append("".join("\\fB" + roff_text(part) + "\\fR" if OPTION_NAME.match(part)
                             else roff_text(part) for part in parts))
    return " ".join(words)


def roff_usage(usage):
    """The program's name (and command) in bold, the arguments in roman."""
    words = usage.split(" ")
    named = 1
    while named < len(words) and re.match(r"^[a-z][a-z0-9-]*$", words[named]):
        named += 1
    return "\\fB{}\\fR {}".format(roff_text(" ".join(words[:named])),
                                  roff_text(" ".join(words[named:]))).rstrip()


def quoted(text):
    return '"' + roff_text(text).replace('"', '\\(dq') + '"'


def roff_items(group, out):
    for item in group.items:
        out.append(".TP")
        out.append(roff_term(item.term))
        out.append(roff_text(item.description))


def roff_blocks(blocks, out, skip, in_command=False):
    """Groups as entries under their headings, paragraphs between them as they stand. Within a
    command's part (itself a subsection) a heading is a label line; elsewhere a subsection,
    except for the generic "Options", which the OPTIONS section says already."""
    headed = False
    for block in blocks:
        if isinstance(block, Group):
            heading = {"Positionals": "Arguments"}.get(block.heading, block.heading)
            if heading is None and headed:
                # Items below named groups, without a heading of their own.
                heading = "Other options"
            if heading and in_command:
                out.append(".PP")
                out.append(roff_text(heading) + ":")
            elif heading and heading != "Options":
                out.append(".SS " + quoted(heading))
            headed = headed or heading not in (None, "Options", "Arguments")
            roff_items(block, out)
        elif block not in skip:
            out.append(".PP")
            out.append(roff_text(block))


def read_include(path):
    """[SECTION] blocks of roff, in the file's order."""
    sections = []
    if not path:
        return sections
    with open(path, encoding="utf-8") as file:
        for line in file.read().split("\n"):
            heading = re.match(r"^\[([^\]]+)\]\s*$", line)
            if heading:
                sections.append((heading.group(1), []))
            elif sections:
                sections[-1][1].append(line)
            elif line.strip() and not line.startswith(".\\\""):
                sys.exit("help-docs.py: {}: text before the first [SECTION]".format(path))
    return [(name, "\n".join(lines).strip("\n")) for name, lines in sections]


def manual_page(program, args):
    included = read_include(args.include)
    extra = {name: text for name, text in included}
    out = ['.\\" Made by packaging/linux/help-docs.py from "{} --help"; do not edit.'.format(
        args.name)]
    out.append(".TH {} 1 {} {} {}".format(
        quoted(args.name.upper()), quoted(args.date), quoted(args.name + " " + args.version),
        quoted("User Commands")))
    # No hyphenation and a ragged right edge: option names and addresses stay whole.
    out.append(".nh")
    out.append(".ad l")
    out.append(".SH NAME")
    out.append(roff_text("{} - {}".format(args.name, args.summary)))

    out.append(".SH SYNOPSIS")
    usages = [program.top.usage] + [help.usage for _, _, help in program.commands]
    for index, usage in enumerate(usages):
        if index:
            out.append(".br")
        out.append(roff_usage(usage))

    def section(name, body):
        out.append(".SH " + name)
        out.extend(body)
        if name in extra:
            out.append(extra.pop(name))

    description = []
    for paragraph in program.top.leading_and_trailing_paragraphs():
        description.append(".PP")
        description.append(roff_text(paragraph))
    section("DESCRIPTION", description)

    options = []
    top_blocks = [block for block in program.top.blocks
                  if not (isinstance(block, Group) and block.heading == "Subcommands")]
    roff_blocks(top_blocks, options, skip=program.top.leading_and_trailing_paragraphs())
    section("OPTIONS", options)

    if program.commands:
        commands = []
        shared = set(program.top.leading_and_trailing_paragraphs())
        for name, _, help in program.commands:
            commands.append(".SS " + quoted(name))
            commands.append(".PP")
            commands.append(roff_usage(help.usage))
            roff_blocks(help.blocks, commands, skip=shared, in_command=True)
        section("COMMANDS", commands)

    for name, text in included:
        if name in extra:
            out.append(".SH " + name)
            out.append(extra.pop(name))
    return "\n".join(out) + "\n"


# ---------------------------------------------------------------- the bash completion

def shell_words(words):
    return " ".join(words)


def completion_cases(help, indent):
    """A case over the previous word: what the value of each option that takes one may be."""
    files, free, choices = [], [], []
    for item in help.options():
        if item.choices():
            choices.append((item.option_names(), item.choices()))
        elif item.takes_file():
            files.extend(item.option_names())
        elif item.placeholder():
            free.extend(item.option_names())
    lines = []
    pad = " " * indent
    for names, values in choices:
        lines.append("{}{}) values='{}' ;;".format(pad, "|".join(names), shell_words(values)))
    if files:
        lines.append("{}{}) values=@files ;;".format(pad, "|".join(files)))
    if free:
        lines.append("{}{}) values=@free ;;".format(pad, "|".join(free)))
    return lines


def option_words(help):
    return shell_words(name for item in help.options() for name in item.option_names())


def bash_completion(program, args):
    function = "_" + re.sub(r"[^A-Za-z0-9]", "_", args.name)
    out = ["# bash completion for {}: made by packaging/linux/help-docs.py from".format(args.name),
           "# \"{} --help\"{}; do not edit.".format(
               args.name, " and each command's --help" if program.commands else ""),
           "",
           "{}() {{".format(function),
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev= command= values= options= prefix= i",
           "    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}",
           "    # --name=value: bash splits the word at '=' (COMP_WORDBREAKS), so the option is",
           "    # the word before the '='; without that split, the value follows it in this word.",
           "    if [[ $cur == = ]]; then",
           "        cur=",
           "    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then",
           "        prev=${COMP_WORDS[COMP_CWORD - 2]}",
           "    elif [[ $cur == --*=* ]]; then",
           "        prev=${cur%%=*} prefix=${cur%%=*}= cur=${cur#*=}",
           "    fi"]
    if program.commands:
        out += ["    for ((i = 1; i < COMP_CWORD; i++)); do",
                "        case ${{COMP_WORDS[i]}} in {}) command=${{COMP_WORDS[i]}}; break ;; esac"
                .format("|".join(program.command_names())),
                "    done",
                "    case $command in"]
        for name, _, help in program.commands:
            out.append("    {})".format(name))
            out.append("        options='{}'".format(option_words(help)))
            cases = completion_cases(help, 12)
            if cases:
                out += ["        case $prev in"] + cases + ["        esac"]
            out.append("        ;;")
        out.append("    *)")
        out.append("        options='{}'".format(option_words(program.top)))
        cases = completion_cases(program.top, 12)
        if cases:
            out += ["        case $prev in"] + cases + ["        esac"]
        out.append("        ;;")
        out.append("    esac")
    else:
        out.append("    options='{}'".format(option_words(program.top)))
        out += ["    case $prev in"] + completion_cases(program.top, 8) + ["    esac"]
    out += ["    case $values in",
            "    @files)",
            "        compopt -o filenames 2>/dev/null",
            "        mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")",
            "        ;;",
            "    @free)",
            "        COMPREPLY=()",
            "        ;;",
            "    ?*)",
            "        mapfile -t COMPREPLY < <(compgen -W \"$values\" -- \"$cur\")",
            "        ;;",
            "    esac",
            "    if [[ -n $values ]]; then",
            "        ((${#COMPREPLY[@]})) && COMPREPLY=(\"${COMPREPLY[@]/#/$prefix}\")",
            "        return 0",
            "    fi"]
    if program.commands:
        out += ["    if [[ -z $command && $cur != -* ]]; then",
                "        mapfile -t COMPREPLY < <(compgen -W '{}' -- \"$cur\")".format(
                    shell_words(program.command_names())),
                "    else",
                "        mapfile -t COMPREPLY < <(compgen -W \"$options\" -- \"$cur\")",
                "    fi"]
    else:
        out.append("    mapfile -t COMPREPLY < <(compgen -W \"$options\" -- \"$cur\")")
    out += ["}", "complete -F {} {}".format(function, args.name), ""]
    return "\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("kind", choices=["man", "bash-completion"])
    parser.add_argument("program")
    parser.add_argument("--name", required=True)
    parser.add_argument("--summary", default="")
    parser.add_argument("--version", default="")
    parser.add_argument("--date", default="")
    parser.add_argument("--include")
    parser.add_argument("--output", required=True)
    args = parser.parse_args()
    program = Program(args.program)
    text = manual_page(program, args) if args.kind == "man" else bash_completion(program, args)
    with open(args.output, "w", encoding="utf-8") as file:
        file.write(text)


if __name__ == "__main__":
    main()
