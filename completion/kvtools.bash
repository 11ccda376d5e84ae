# Bash completion for kvpull, kvpush and kvlist. kvpull and kvpush: -l at the
# second argument, -b and its depths (kvpull only) at the sixth or, in list
# mode, right after the list file; file names everywhere else. kvlist: a verb,
# --help or --version first, then file names, --help at the first operand.
_kvtools() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} tool=${1##*/}
    COMPREPLY=()
    if [[ $tool == kvlist* ]]; then
        if [[ $COMP_CWORD -eq 1 && $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "--help --version" -- "$cur")
        elif [[ $COMP_CWORD -eq 1 ]]; then
            mapfile -t COMPREPLY < <(compgen -W "find sheet view move check" -- "$cur")
        elif [[ $COMP_CWORD -eq 2 && $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "--help" -- "$cur")
        elif [[ ${COMP_WORDS[1]} == find && $COMP_CWORD -ge 3 ]]; then
            # FIRST and LAST: the window kvpush writes in, as the usual range.
            local bound=54DF26
            [[ $COMP_CWORD -eq 4 ]] && bound=9E6F56
            if [[ $COMP_CWORD -le 4 ]]; then
                mapfile -t COMPREPLY < <(compgen -W "$bound" -- "$cur")
            fi
        else
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        fi
    elif [[ $prev == -b && $tool == kvpull* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "24 32" -- "$cur")
    elif [[ $COMP_CWORD -eq 2 && $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "-l" -- "$cur")
    elif [[ $tool == kvpull* && ($COMP_CWORD -eq 6 || ($COMP_CWORD -eq 4 && ${COMP_WORDS[2]} == -l*)) ]]; then
        mapfile -t COMPREPLY < <(compgen -W "-b" -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}
complete -o filenames -F _kvtools kvpull kvpush kvlist
