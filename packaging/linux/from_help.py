#!/usr/bin/env python3
"""The man page and the shell completions of tavelmir, made from the program's own help pages.

    from_help.py man TAVELMIR OUT.1 CHANGELOG DATA_DIR
    from_help.py completions TAVELMIR BASH_FILE ZSH_FILE FISH_FILE

Every text about the commands comes from `tavelmir --help` and `tavelmir help COMMAND`, so the man page, the
completions and the help can never disagree. The man page's date is that of the newest changelog entry, its FILES
name DATA_DIR, the data set's folder where the package installs it.
"""
import email.utils
import re
import subprocess
import sys


def help_text(binary, *args):
    return subprocess.run([binary, *args], check=True, capture_output=True, text=True).stdout


class Entry:
    """One line of a group: an option (or argument) and what it does."""

    def __init__(self, name, description):
        self.name = name
        self.description = description

    @property
    def flags(self):
        """The option's spellings ("-o", "--output"); empty for an argument."""
        first = self.name.split(" ")
        names = []
        for word in first:
            word = word.rstrip(",")
            if word.startswith("-"):
                names.append(word)
            else:
                break
        return names

    @property
    def value(self):
        """The value's name (FILE, WxH, contain|cover), or "" for a flag or an argument."""
        if not self.flags:
            return ""
        rest = self.name.split(" ")[len(self.flags):]
        return " ".join(rest)


class Page:
    """A help page taken apart: usage lines, description, groups of entries, examples, notes."""

    def __init__(self, text):
        blocks = [b for b in re.split(r"\n\s*\n", text.strip("\n"))]
        usage = blocks.pop(0).splitlines()
        self.usage = [line[len("Usage: "):] if i == 0 else line.strip() for i, line in enumerate(usage)]
        self.description = blocks.pop(0).replace("\n", " ")
        self.groups = []  # (title, [Entry])
        self.examples = []
        self.notes = []  # paragraphs; a paragraph whose lines start with blanks is kept as laid out
        for block in blocks:
            lines = block.splitlines()
            title = lines[0]
            if title.endswith(":") and len(lines) > 1 and lines[1].startswith("  ") and not title.startswith(" "):
                if title == "Examples:":
                    self.examples = [line.strip() for line in lines[1:]]
                    continue
                entries, tail = self.entries(lines[1:])
                self.groups.append((title[:-1], entries))
                if tail:
                    self.notes.append(" ".join(tail))
            else:
                self.notes.append(block if block.startswith(" ") else block.replace("\n", " "))

    @staticmethod
    def entries(lines):
        """Entries of a group ("  NAME  description", continuation lines further in); unindented lines after them
        are a paragraph of their own."""
        entries = []
        for i, line in enumerate(lines):
            if not line.startswith(" "):
                return entries, lines[i:]
            if line.startswith("  ") and not line.startswith("   "):
                parts = re.split(r"\s{2,}", line.strip(), maxsplit=1)
                entries.append(Entry(parts[0], parts[1] if len(parts) > 1 else ""))
            else:
                entries[-1].description = (entries[-1].description + " " + line.strip()).strip()
        return entries, []


def commands_of(binary):
    top = Page(help_text(binary, "--help"))
    commands = []
    for title, entries in top.groups:
        if title == "Commands":
            commands = [(e.name, e.description) for e in entries]
    pages = {name: Page(help_text(binary, "help", name)) for name, _ in commands if name != "help"}
    return top, commands, pages


# --- The man page ---------------------------------------------------------------------------------------------------

def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    # Code spans of the help (`tavelmir fade`) in bold.
    text = re.sub(r"`([^`]+)`", r"\\fB\1\\fR", text)
    return text


def roff_line(text):
    text = roff(text)
    return "\\&" + text if text.startswith((".", "'")) else text


def entry_head(entry):
    if not entry.flags:
        return "\\fI" + roff(entry.name) + "\\fR"
    head = ", ".join("\\fB" + roff(f) + "\\fR" for f in entry.flags)
    if entry.value:
        head += " \\fI" + roff(entry.value) + "\\fR"
    return head


def release_date(changelog):
    """The date of the newest entry of a Debian changelog, as YYYY-MM-DD."""
    with open(changelog) as f:
        for line in f:
            if line.startswith(" -- "):
                return email.utils.parsedate_to_datetime(line.split("  ")[-1].strip()).strftime("%Y-%m-%d")
    raise SystemExit(changelog + " has no dated entry")


def is_about_the_man_page(note):
    return "`man tavelmir`" in note


def man_page(binary, version, date, data_dir):
    top, commands, pages = commands_of(binary)
    # .nh: no word is hyphenated at a line's end, so paths and setting names stay whole.
    out = ['.\\" The help of tavelmir ' + version + ", as a man page.",
           '.TH TAVELMIR 1 "' + date + '" "tavelmir ' + version + '" "User Commands"',
           ".nh",
           ".SH NAME",
           "tavelmir \\- " + roff(top.description.split(":")[0].split(".")[0]),
           ".SH SYNOPSIS", ".nf"]
    for name, _ in commands:
        for line in pages[name].usage if name in pages else top.usage[1:]:
            out.append(roff_line(line))
    out += [".fi", ".SH DESCRIPTION", roff_line(top.description)]
    for note in top.notes:
        if not is_about_the_man_page(note):
            out += [".PP", roff_line(note)]
    out.append(".SH COMMANDS")
    for name, summary in commands:
        if name not in pages:
            continue
        page = pages[name]
        out += [".SS " + roff(name), roff_line(page.description) + ".", ".PP", ".nf"]
        out += [roff_line(line) for line in page.usage]
        out.append(".fi")
        for title, entries in page.groups:
            out += [".PP", "\\fI" + roff(title) + ":\\fR"]
            for entry in entries:
                out += [".TP", entry_head(entry), roff_line(entry.description)]
        if page.examples:
            out += [".PP", "\\fIExamples:\\fR", ".RS", ".nf"]
            out += [roff_line(line) for line in page.examples]
            out += [".fi", ".RE"]
        for note in page.notes:
            if is_about_the_man_page(note):
                continue
            out.append(".PP")
            if note.startswith(" "):
                out += [".nf"] + [roff_line(line) for line in note.splitlines()] + [".fi"]
            else:
                out.append(roff_line(note))
    out += [".SH EXAMPLES", ".nf"]
    out += [roff_line(line) for line in top.examples]
    out += [".fi"]
    out += man_sections(data_dir)
    return "\n".join(out)


def man_sections(data_dir):
    """FILES, ENVIRONMENT, EXIT STATUS and SEE ALSO: what the program reads and returns, which its help leaves to
    the man page. SEE ALSO names only what the package depends on or recommends, so every page named is there."""
    def tagged(head, text):
        return [".TP", head, roff_line(text)]
    out = [".SH FILES"]
    out += tagged("\\fI$XDG_CONFIG_HOME/tavelmir/plugin.ini\\fR (\\fI~/.config/tavelmir/plugin.ini\\fR)",
                  "Your settings, as `tavelmir config` shows and changes them; read by render, play and live. Made on "
                  "the first change; until then the defaults apply.")
    out += tagged("\\fI" + roff(data_dir) + "/TavelDat/\\fR",
                  "The data set: the palettes (*.pal, in the order of their numbers), refrence.pal and the fade "
                  "table fade.dat. --plugin-dir DIR uses DIR/TavelDat and DIR/plugin.ini instead.")
    out += [".SH ENVIRONMENT"]
    out += tagged("\\fBXDG_CONFIG_HOME\\fR", "Where the settings file lives (tavelmir/plugin.ini in it); "
                  "unset or empty: ~/.config, from `HOME`.")
    out += tagged("\\fBNO_COLOR\\fR", "When set, `tavelmir palettes` prints no colours, as on a terminal "
                  "that shows none.")
    out += tagged("\\fBSDL_VIDEODRIVER\\fR", "The window system play and live open their window on (x11, "
                  "wayland, kmsdrm; SDL chooses by default).")
    out += tagged("\\fBSDL_AUDIODRIVER\\fR", "Where play sends the sound (pulseaudio, pipewire, alsa; SDL "
                  "chooses by default).")
    out += tagged("\\fBPULSE_SERVER\\fR", "The sound server live listens to (and play plays through with "
                  "PulseAudio), when not the session's own.")
    out += tagged("\\fBPATH\\fR", "Where render finds the ffmpeg program that encodes videos, GIFs and PNGs.")
    out += [".SH EXIT STATUS"]
    out += tagged("\\fB0\\fR", "Success: the output was written in full, the window was closed, the settings "
                  "were saved.")
    out += tagged("\\fB1\\fR", "Failure: a file could not be read or written, the effect could not start, "
                  "ffmpeg failed; a render leaves no output behind.")
    out += tagged("\\fB2\\fR", "Usage error: an unknown option, a missing or invalid value (a bad --set among "
                  "them).")
    out += tagged("\\fB130\\fR", "A render interrupted by Ctrl-C (SIGINT; 143 after SIGTERM, 129 after SIGHUP); it "
                  "leaves no output behind. play and live end with 0 on Ctrl-C, as on Escape.")
    out += [".SH SEE ALSO",
            "\\fBffmpeg\\fR(1), \\fBffplay\\fR(1), \\fBffprobe\\fR(1), \\fBpipewire\\-pulse\\fR(1), "
            "\\fBpulseaudio\\fR(1)", ""]
    return out


# --- Completions ----------------------------------------------------------------------------------------------------

# What a value is, by its name in the help.
FILE_VALUES = {"FILE", "AUDIO", "AUDIO...", "OUT"}
DIR_VALUES = {"DIR"}
PALETTE_LIST = "tavelmir palettes 2>/dev/null | awk 'NR > 1 {print $2}'"


SETTING_VALUES = {"KEY=VALUE", "KEY=VALUE...", "SETTINGS"}


def listed_values(entry):
    """The values an option's help names: its value's a|b|c, or a list after the description's last colon
    ("speed: ultrafast, superfast, ... or veryslow"; "25 (default), or 50, 10"); empty when there is none."""
    if "|" in entry.value:
        return entry.value.split("|")
    if ": " not in entry.description:
        return []
    tail = re.sub(r"\s*\([^)]*\)", "", entry.description.rsplit(": ", 1)[1])
    words = [w for w in re.split(r",\s*(?:or\s+)?|\s+or\s+", tail.strip()) if w]
    if len(words) < 2 or not all(re.fullmatch(r"[a-z0-9][a-z0-9.:-]*", w) for w in words):
        return []
    return words


def value_kind(entry):
    value = entry.value
    if value in FILE_VALUES:
        return "file"
    if value in DIR_VALUES:
        return "dir"
    if value in SETTING_VALUES:
        return "setting"
    if "--palette" in entry.flags:
        return "palette"
    if listed_values(entry):
        return "words"
    return "text" if value else "none"


def setting_keys(pages):
    """The settings' keys, from the table in `tavelmir config --help`."""
    for title, entries in pages["config"].groups:
        if title.startswith("The settings"):
            return [e.name.split()[0] for e in entries]
    raise SystemExit("no settings in `tavelmir config --help`")


def takes_settings(page):
    """The command's arguments are KEY=VALUE settings."""
    return any(not e.flags and e.name in SETTING_VALUES for _, entries in page.groups for e in entries)


def options_of(page):
    return [e for _, entries in page.groups for e in entries if e.flags]


def takes_files(page):
    """The command takes files as arguments (AUDIO...)."""
    return any(not e.flags and e.name.startswith("AUDIO") for _, entries in page.groups for e in entries)


def bash_completion(commands, pages):
    names = " ".join(name for name, _ in commands)
    keys = " ".join(k + "=" for k in setting_keys(pages))
    out = ["# bash completion for tavelmir; made from its help pages.",
           "_tavelmir_settings() {",
           "  [[ $cur == *=* ]] && return",
           '  COMPREPLY=($(compgen -W "' + keys + '" -- "$cur"))',
           "  compopt -o nospace 2>/dev/null",
           "}",
           "_tavelmir() {",
           "  local cur prev words cword",
           "  # = belongs to the word, so that KEY=VALUE is one word.",
           "  _init_completion -n = || return",
           "  if ((cword == 1)); then",
           '    COMPREPLY=($(compgen -W "' + names + ' --help --version" -- "$cur"))',
           "    return",
           "  fi",
           '  local command=${words[1]} options=""',
           '  case "$command" in']
    for name, _ in commands:
        if name == "help":
            out.append('    help) COMPREPLY=($(compgen -W "' + names + '" -- "$cur")); return ;;')
            continue
        page = pages[name]
        out.append("    " + name + ")")
        out.append('      case "$prev" in')
        for entry in options_of(page):
            kind = value_kind(entry)
            pattern = "|".join(entry.flags)
            if kind == "file":
                out.append("        " + pattern + ") _filedir; return ;;")
            elif kind == "dir":
                out.append("        " + pattern + ") _filedir -d; return ;;")
            elif kind == "palette":
                out.append("        " + pattern + ') COMPREPLY=($(compgen -W "$(' + PALETTE_LIST + ')" -- "$cur")); return ;;')
            elif kind == "setting":
                out.append("        " + pattern + ") _tavelmir_settings; return ;;")
            elif kind == "words":
                out.append("        " + pattern + ') COMPREPLY=($(compgen -W "' + " ".join(listed_values(entry)) +
                           '" -- "$cur")); return ;;')
            elif kind == "text":
                out.append("        " + pattern + ") return ;;")
        out.append("      esac")
        flags = " ".join(f for e in options_of(page) for f in e.flags)
        out.append('      options="' + flags + ' --help"')
        if takes_settings(page):
            out.append('      [[ $cur == -* ]] || { _tavelmir_settings; return; }')
        elif not takes_files(page):
            out.append('      [[ $cur == -* ]] || return')
        out.append("      ;;")
    out += ["  esac",
            '  if [[ $cur == -* ]]; then',
            '    COMPREPLY=($(compgen -W "$options" -- "$cur"))',
            "  else",
            "    _filedir",
            "  fi",
            "}",
            "complete -F _tavelmir tavelmir",
            ""]
    return "\n".join(out)


def zsh_quote(text):
    return text.replace("'", "'\\''").replace("[", "\\[").replace("]", "\\]").replace(":", "\\:")


def zsh_completion(commands, pages):
    out = ["#compdef tavelmir",
           "# zsh completion for tavelmir; made from its help pages.",
           "",
           "_tavelmir_settings() {",
           "  compset -P '*=' && return 1",
           "  compadd -S '' -- " + " ".join(k + "=" for k in setting_keys(pages)),
           "}",
           "",
           "_tavelmir() {",
           "  local -a commands",
           "  commands=("]
    for name, summary in commands:
        out.append("    '" + name + ":" + zsh_quote(summary) + "'")
    out += ["  )",
            "  if (( CURRENT == 2 )); then",
            "    _describe -t commands 'tavelmir command' commands",
            "    return",
            "  fi",
            "  local command=${words[2]}",
            "  shift words; (( CURRENT-- ))",
            "  case $command in"]
    for name, _ in commands:
        if name == "help":
            out.append("    help) _describe -t commands 'tavelmir command' commands ;;")
            continue
        page = pages[name]
        arguments = []
        for entry in options_of(page):
            kind = value_kind(entry)
            message = zsh_quote(entry.value)
            action = {"file": ":" + message + ":_files", "dir": ":" + message + ":_files -/",
                      "palette": ":palette:(${(f)\"$(" + PALETTE_LIST.replace("'", "'\\''") + ")\"})",
                      "setting": ":" + message + ":_tavelmir_settings",
                      "words": ":" + message + ":(" + zsh_quote(" ".join(listed_values(entry))) + ")",
                      "text": ":" + message + ":", "none": ""}[kind]
            description = "[" + zsh_quote(entry.description) + "]"
            if len(entry.flags) > 1:
                exclusive = "(" + " ".join(entry.flags) + ")"
                argument = "'" + exclusive + "'{" + ",".join(entry.flags) + "}'" + description + action + "'"
            else:
                argument = "'" + entry.flags[0] + description + action + "'"
            arguments.append(argument)
        if takes_files(page):
            arguments.append("'*:audio file:_files'")
        if takes_settings(page):
            arguments.append("'*:setting:_tavelmir_settings'")
        out.append("    " + name + ")")
        out.append("      _arguments -s " + " \\\n        ".join(arguments) + " ;;")
    out += ["  esac", "}", "", '_tavelmir "$@"', ""]
    return "\n".join(out)


def fish_quote(text):
    return "'" + text.replace("\\", "\\\\").replace("'", "\\'") + "'"


def fish_completion(commands, pages):
    names = " ".join(name for name, _ in commands)
    keys = " ".join(k + "=" for k in setting_keys(pages))
    out = ["# fish completion for tavelmir; made from its help pages.",
           "complete -c tavelmir -f"]
    for name, summary in commands:
        out.append("complete -c tavelmir -n '__fish_use_subcommand' -a " + name + " -d " + fish_quote(summary))
    out.append("complete -c tavelmir -n '__fish_seen_subcommand_from help' -a '" + names + "'")
    for name, _ in commands:
        if name == "help":
            continue
        page = pages[name]
        condition = "-n '__fish_seen_subcommand_from " + name + "'"
        if takes_files(page):
            out.append("complete -c tavelmir " + condition + " -F")
        if takes_settings(page):
            out.append("complete -c tavelmir " + condition + " -a " + fish_quote(keys))
        for entry in options_of(page):
            spellings = ""
            for flag in entry.flags:
                if flag.startswith("--"):
                    spellings += " -l " + flag[2:]
                elif len(flag) == 2:
                    spellings += " -s " + flag[1:]
                else:
                    spellings += " -o " + flag[1:]
            kind = value_kind(entry)
            value = {"file": " -r -F", "dir": " -r -a '(__fish_complete_directories)'",
                     "setting": " -x -a " + fish_quote(keys),
                     "palette": " -x -a " + fish_quote("(" + PALETTE_LIST + ")"),
                     "words": " -x -a " + fish_quote(" ".join(listed_values(entry))), "text": " -x",
                     "none": ""}[kind]
            out.append("complete -c tavelmir " + condition + spellings + value + " -d " +
                       fish_quote(entry.description))
    out.append("")
    return "\n".join(out)


def main():
    if len(sys.argv) == 6 and sys.argv[1] == "man":
        binary, target = sys.argv[2], sys.argv[3]
        version = help_text(binary, "--version").splitlines()[0].split()[-1]
        with open(target, "w") as f:
            f.write(man_page(binary, version, release_date(sys.argv[4]), sys.argv[5]))
    elif len(sys.argv) == 6 and sys.argv[1] == "completions":
        binary = sys.argv[2]
        _, commands, pages = commands_of(binary)
        for target, make in zip(sys.argv[3:], (bash_completion, zsh_completion, fish_completion)):
            with open(target, "w") as f:
                f.write(make(commands, pages))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
