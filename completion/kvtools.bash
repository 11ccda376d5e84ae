# Bash completion for kvpull and kvpush: -l at the second argument, -b and
# its depths at the sixth (kvpull only), file names everywhere else.
_kvtools() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    if [[ $prev == -b && $1 == kvpull ]]; then
        mapfile -t COMPREPLY < <(compgen -W "24 32" -- "$cur")
    elif [[ $COMP_CWORD -eq 2 && $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "-l" -- "$cur")
    elif [[ $COMP_CWORD -eq 6 && $1 == kvpull ]]; then
        mapfile -t COMPREPLY < <(compgen -W "-b" -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}
complete -o filenames -F _kvtools kvpull kvpush
