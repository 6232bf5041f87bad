# bash completion for velmora-cli

_velmora_cli() {
    local cur prev words cword split
    _init_completion -s || return

    # The options of each command, and the values of those that take a fixed set.
    local -A options=(
        [scan]="--json --threads --cross-file-systems --help"
        [clean]="--dry-run --cross-file-systems --library --category --jobs --untouched-for --json --quiet --help"
        [serve]="--listen --tls-cert --tls-key --state-dir --rescan-every --request-timeout --allow-host --config --help"
        [token]="--state-dir --help"
    )
    local categories="render proxy optimized analysis all"

    local command="" i
    for ((i = 1; i < cword; i++)); do
        if [[ -n ${options[${words[i]}]+set} ]]; then
            command=${words[i]}
            break
        fi
    done

    case $prev in
        --category)
            mapfile -t COMPREPLY < <(compgen -W "$categories" -- "$cur")
            return
            ;;
        --library | --state-dir)
            _filedir -d
            return
            ;;
        --tls-cert | --tls-key | --config)
            _filedir
            return
            ;;
        --role)
            mapfile -t COMPREPLY < <(compgen -W "viewer cleaner" -- "$cur")
            return
            ;;
        --listen | --rescan-every | --request-timeout | --allow-host)
            return
            ;;
        --threads | --jobs | --untouched-for)
            # a number: nothing to offer
            return
            ;;
    esac
    $split && return

    if [[ -z $command ]]; then
        mapfile -t COMPREPLY < <(compgen -W "${!options[*]} --help --version" -- "$cur")
        return
    fi
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "${options[$command]}" -- "$cur")
        return
    fi
    if [[ $command == token ]]; then
        mapfile -t COMPREPLY < <(compgen -W "add list remove" -- "$cur")
        return
    fi
    # LOCATION or ROOT: a directory
    _filedir -d
}
complete -F _velmora_cli velmora-cli
