# bash completion for pictorelle-pack
_pictorelle_pack() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
        --pictures|--music|--library) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        -o|--player|--dump|--write-manifest) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --title|--seconds|--effects|--max-size) return ;;
        --captions) [[ ${COMP_WORDS[*]} == *--library* ]] && return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "-o --player --dump --pictures --library --music --title --seconds
            --effects --captions --recursive --max-size --write-manifest --allow-broken --allow-empty
            --help --version" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -X '!*.json' -- "$cur") $(compgen -d -- "$cur"))
    fi
}
complete -F _pictorelle_pack pictorelle-pack
