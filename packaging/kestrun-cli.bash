# bash completion for kestrun-cli
_kestrun_cli() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    if [[ $COMP_CWORD -eq 1 ]]; then
        COMPREPLY=($(compgen -W "info check convert batch --version" -- "$cur"))
        return
    fi
    local command=${COMP_WORDS[1]}
    case $prev in
        --out) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --platform) COMPREPLY=($(compgen -W "ps3 xbox360 ps3-stereo" -- "$cur")); return ;;
        --container) COMPREPLY=($(compgen -W "mp4 avchd m2ts" -- "$cur")); return ;;
        --recode) COMPREPLY=($(compgen -W "none mpeg2 h264 xvid" -- "$cur")); return ;;
        --priority) COMPREPLY=($(compgen -W "low high" -- "$cur")); return ;;
        --audio|--subs) return ;;
        --subs-file) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    esac
    if [[ $cur == -* ]]; then
        local options="--help"
        case $command in
            check) options="--platform --json" ;;
            convert) options="--out --platform --container --recode --audio --subs --subs-file
                --subs-beside --safe-sync --fast-mux --fps25 --dvd --no-split --priority --help" ;;
            batch) options="--out --platform --container --recode --subs-beside --safe-sync --fast-mux
                --fps25 --dvd --no-split --priority --help" ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    case $command in
        batch) COMPREPLY=($(compgen -d -- "$cur")) ;;
        *) COMPREPLY=($(compgen -f -- "$cur")) ;;
    esac
}
complete -o filenames -F _kestrun_cli kestrun-cli
