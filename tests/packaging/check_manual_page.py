#!/usr/bin/env python3
"""Makes a program's manual page as the package's build does and checks it against the
program's own --help: groff finds nothing to warn about; every option that starts a line of the
program's --help is an entry of the page's OPTIONS, and every option that starts a line of a
subcommand's --help is an entry of that command's part of COMMANDS; every option any --help
names is somewhere in the page, and every word of it too; every exit code the help names is an
entry of EXIT STATUS.

The help is read here with plain patterns, not with the generator's reader, so that a fault in
that reader shows as a missing entry.

  check_manual_page.py HELP_DOCS PROGRAM NAME INCLUDE
"""

import os
import re
import subprocess
import sys
import tempfile

# An option at the start of a help line: "  --jobs INT", "  -h,--help", "      --version".
ITEM_LINE = re.compile(r"^\s+(-{1,2}[A-Za-z][\w-]*(?:,\s*-{1,2}[A-Za-z][\w-]*)*)(?=\s|$)")
# An option named anywhere: "--devices", "-h", not the "-" in "1 - 1024" or "non-empty".
MENTION = re.compile(r"(?<![\w-])(-{1,2}[A-Za-z][\w-]*)")
failures = []


def fail(message):
    failures.append(message)


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, check=False, timeout=120)


def help_text(program, *words):
    result = run(program, *words, "--help")
    if result.returncode != 0:
        sys.exit("{} {} --help exited with {}".format(program, " ".join(words), result.returncode))
    return result.stdout


def item_options(text):
    names = []
    for line in text.split("\n"):
        found = ITEM_LINE.match(line)
        if found:
            names += [name.strip() for name in found.group(1).split(",")]
    return names


def subcommands(text):
    """The first word of each line in the "Subcommands:" group."""
    found = re.search(r"^Subcommands:\n((?:  .*\n?)+)", text, re.MULTILINE)
    return [line.split()[0] for line in found.group(1).split("\n") if line.strip()] if found else []


def sections(page):
    """The rendered page as {"SECTION": text, "SECTION/Subsection": text}."""
    parts = {}
    section = subsection = None
    for line in page.split("\n"):
        if re.match(r"^[A-Z]", line):
            section, subsection = line.strip(), None
            parts[section] = ""
        elif re.match(r"^   \S", line) and section:
            subsection = section + "/" + line.strip()
            parts[subsection] = ""
        elif section:
            parts[section] += line + "\n"
            if subsection:
                parts[subsection] += line + "\n"
    return parts


def words(text):
    """Its words, but not the help's own one-word headings ("Usage:", "Positionals:"), which
    the page has its own for."""
    text = re.sub(r"^(Usage:|[A-Z][a-z]*:$)", "", text, flags=re.MULTILINE)
    return set(re.findall(r"[A-Za-z0-9]+", text))


def has_entry(text, option):
    """An entry's term starts its line at the entry indentation: "       --jobs INT:INT ..." or
    "       -h,--help"."""
    pattern = r"^ {7}(?:\S*,\s?)?" + re.escape(option) + r"(?=[\s,]|$)"
    return re.search(pattern, text, re.MULTILINE) is not None


def main():
    help_docs, program, name, include = sys.argv[1:5]
    with tempfile.TemporaryDirectory() as folder:
        roff = os.path.join(folder, name + ".1")
        made = run(sys.executable, help_docs, "man", program, "--name", name, "--summary",
                   "a summary", "--version", "1.0", "--date", "2026-01-01", "--include", include,
                   "--output", roff)
        if made.returncode != 0:
            sys.exit("help-docs.py failed: " + made.stderr)
        warnings = run("groff", "-man", "-ww", "-z", roff)
        if warnings.stderr.strip():
            fail("groff warns about the page: " + warnings.stderr.strip())
        rendered = run("groff", "-man", "-Tascii", "-P-cbou", roff)
        # A wide page: no entry term is wrapped or hyphenated away.
        page = rendered.stdout
    parts = sections(page)

    top = help_text(program)
    texts = [top]
    for option in item_options(top):
        if not has_entry(parts.get("OPTIONS", ""), option):
            fail("{} --help names {}, which has no entry in OPTIONS".format(name, option))
    commands = subcommands(top)
    for command in commands:
        text = help_text(program, command)
        texts.append(text)
        part = parts.get("COMMANDS/" + command)
        if part is None:
            fail("{} {} has no part in COMMANDS".format(name, command))
            continue
        for option in item_options(text):
            if not has_entry(part, option):
                fail("{} {} --help names {}, which has no entry in COMMANDS/{}".format(
                    name, command, option, command))

    # No text lost: every word of a command's --help is in its part of the page or in the
    # description the commands share; every word of the program's --help is in the page.
    description = words(parts.get("DESCRIPTION", ""))
    for command, text in zip(commands, texts[1:]):
        lost = words(text) - words(parts.get("COMMANDS/" + command, "")) - description
        if lost:
            fail("{} {} --help says {}, which its part of the page does not".format(
                name, command, " ".join(sorted(lost))))
    lost = words(top) - words(page)
    if lost:
        fail("{} --help says {}, which the page does not".format(name, " ".join(sorted(lost))))

    for text in texts:
        for option in set(MENTION.findall(text)):
            if not re.search(r"(?<![\w-])" + re.escape(option) + r"(?![\w-])", page):
                fail("{} --help names {}, which the page does not".format(name, option))
        codes = re.search(r"Exit codes:(.*?)(?:\n\n|\Z)", text, re.DOTALL)
        for code in re.findall(r"(?<![\w.])(\d+)(?![\w.])", codes.group(1) if codes else ""):
            if not re.search(r"^ {7}" + code + r"\b", parts.get("EXIT STATUS", ""), re.MULTILINE):
                fail("{} --help names exit code {}, which EXIT STATUS does not".format(name, code))

    for failure in failures:
        print("FAIL: " + failure)
    if failures:
        print("\nThe page as rendered:\n" + page)
        return 1
    print("{}: {} sections, every option and exit code of its --help documented".format(
        name, len(parts)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
