#include "cli/docs/bash_completion.h"

namespace nolvo::cli::docs {

namespace {

// `text` in single quotes for the shell.
std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Key(const CommandDoc& c) {
  std::string key;
  for (const auto& p : c.path) key += (key.empty() ? "" : " ") + p;
  return key;
}

// What completes a value of this kind: "choice WORD...", "dir" or "file"; empty for a flag
// and for values that nothing completes (numbers, names).
std::string ValueSpec(const OptionDoc& o) {
  switch (o.kind) {
    case ValueKind::kChoice: {
      std::string words = "choice";
      for (const auto& c : o.choices) words += " " + c;
      return words;
    }
    case ValueKind::kDirectory:
      return "dir";
    case ValueKind::kFile:
      return "file";
    case ValueKind::kOther:
      return "other";
    case ValueKind::kNone:
      break;
  }
  return "";
}

std::string CaseLine(const std::string& pattern, const std::string& output) {
  return "        " + pattern + ") echo " + Quote(output) + " ;;\n";
}

// The functions that answer from the command tree; every command's key is its path below
// the program ("" for the program, "archive create").
std::string Tables(const CommandDoc& root, const std::string& fn) {
  std::string subcommands, options, values, positionals;
  for (const CommandDoc* c : Flatten(root)) {
    const std::string key = Key(*c);
    std::string subs;
    for (const auto& s : c->subcommands) subs += (subs.empty() ? "" : " ") + s.name;
    if (!subs.empty()) subcommands += CaseLine(Quote(key), subs);

    std::string names;
    for (const auto* list : {&c->options, &c->inherited})
      for (const auto& o : *list) {
        for (const auto& n : o.names) {
          names += (names.empty() ? "" : " ") + n;
          if (o.kind != ValueKind::kNone) values += CaseLine(Quote(key + " " + n), ValueSpec(o));
        }
      }
    options += CaseLine(Quote(key), names);

    for (std::size_t i = 0; i < c->positionals.size(); ++i) {
      const OptionDoc& p = c->positionals[i];
      positionals += CaseLine(Quote(key + " " + std::to_string(i)), ValueSpec(p));
      if (p.repeatable && i + 1 == c->positionals.size())
        positionals += CaseLine(Quote(key + " ") + "*", ValueSpec(p));
    }
  }
  return "# The subcommands of a command.\n" + fn + "_subcommands()\n{\n    case $1 in\n" +
         subcommands + "    esac\n}\n\n" + "# Every option a command takes.\n" + fn +
         "_options()\n{\n    case $1 in\n" + options + "    esac\n}\n\n" +
         "# What the value of a command's option is (nothing for a flag).\n" + fn +
         "_value()\n{\n    case \"$1 $2\" in\n" + values + "    esac\n}\n\n" +
         "# What a command's positional argument (counted from 0) is.\n" + fn +
         "_positional()\n{\n    case \"$1 $2\" in\n" + positionals + "    esac\n}\n\n";
}

constexpr const char* kDriver =
    R"sh(# Completes the word $2 as a value: "choice WORD...", "dir" or "file"; $3 goes before
# every answer (the "--option=" of a word that was not split at "=").
@_complete_value()
{
    case $1 in
        choice\ *) mapfile -t COMPREPLY < <(compgen -W "${1#choice }" -- "$2") ;;
        dir)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$2") ;;
        file)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$2") ;;
    esac
    if [[ -n $3 ]]; then COMPREPLY=("${COMPREPLY[@]/#/$3}"); fi
}

@()
{
    local cur=${COMP_WORDS[COMP_CWORD]} cmd="" word opt="" prefix="" words i npos=0
    COMPREPLY=()

    # The words before the cursor: a subcommand's name selects it, an option that takes
    # a value takes the next word (or the one after an "=" that became a word of its own),
    # anything else is a positional argument.
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
            -*=* | =) ;;
            -*)
                if [[ -n $(@_value "$cmd" "$word") ]]; then
                    if [[ ${COMP_WORDS[i + 1]} == = ]]; then ((i += 2)); else ((i += 1)); fi
                fi ;;
            *)
                if [[ " $(@_subcommands "$cmd") " == *" $word "* ]]; then
                    cmd=${cmd:+$cmd }$word
                    npos=0
                else
                    ((npos += 1))
                fi ;;
        esac
    done

    # The value of an option: "--opt VALUE", "--opt=VALUE" and "--opt = VALUE" as bash
    # splits it.
    if [[ $cur == = && $COMP_CWORD -gt 1 ]]; then
        opt=${COMP_WORDS[COMP_CWORD - 1]}
        cur=""
    elif [[ $COMP_CWORD -gt 2 && ${COMP_WORDS[COMP_CWORD - 1]} == = ]]; then
        opt=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == -*=* ]]; then
        opt=${cur%%=*}
        prefix=$opt=
        cur=${cur#*=}
    elif [[ $COMP_CWORD -gt 1 ]]; then
        opt=${COMP_WORDS[COMP_CWORD - 1]}
    fi
    if [[ $opt == -* ]]; then
        words=$(@_value "$cmd" "$opt")
        if [[ -n $words ]]; then
            @_complete_value "$words" "$cur" "$prefix"
            return 0
        fi
    fi

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(@_options "$cmd")" -- "$cur")
        return 0
    fi
    words=$(@_subcommands "$cmd")
    if [[ -n $words ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
        return 0
    fi
    words=$(@_positional "$cmd" "$npos")
    if [[ -n $words ]]; then
        @_complete_value "$words" "$cur"
    else
        mapfile -t COMPREPLY < <(compgen -W "$(@_options "$cmd")" -- "$cur")
    fi
    return 0
}
)sh";

}  // namespace

std::string BashCompletion(const CommandDoc& root) {
  const std::string fn = "_" + root.name;
  std::string driver = kDriver;
  for (auto at = driver.find('@'); at != std::string::npos; at = driver.find('@', at + fn.size()))
    driver.replace(at, 1, fn);
  return "# bash completion for " + root.name + "                         -*- shell-script -*-\n" +
         "# Made by nolvo-docgen from the program's command line; do not edit.\n\n" +
         Tables(root, fn) + driver + "\ncomplete -F " + fn + " " + root.name + "\n";
}

}  // namespace nolvo::cli::docs
