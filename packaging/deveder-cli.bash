# bash completion for deveder-cli: commands, options, page variable names
# (asked of deveder-cli itself) and port paths.
#
# Words are offered quoted and never evaluated: a port path or a name that
# deveder-cli prints may hold $(...), `...`, * or spaces, and compgen -W
# or an unquoted $(...) would run or expand them.

# Offers each line of standard input that begins with $cur, quoted for the
# shell, with $1 appended (after the quoting).
_deveder_cli_offer() {
    local line suffix=${1-}
    COMPREPLY=()
    while IFS= read -r line; do
        [[ -n $line && $line == "$cur"* ]] && COMPREPLY+=("$(printf '%q' "$line")$suffix")
    done
}

# The same for words given as arguments.
_deveder_cli_words() {
    _deveder_cli_offer < <(printf '%s\n' "$@")
}

_deveder_cli() {
    local cur prev words cword
    _init_completion || return

    local options=(--port --ports --serial --baud --reply-wait --lang --trace --all --help --version)
    local commands=(ports probe settings wifi bt test font firmware backup restore verify doctor names)

    case $prev in
        --port)
            # The port walk's paths (USB, or serial with --serial), then device nodes.
            local serial=
            [[ " ${words[*]} " == *" --serial "* ]] && serial=--serial
            _deveder_cli_offer < <(deveder-cli $serial ports 2>/dev/null)
            [[ ${#COMPREPLY[@]} -eq 0 ]] && _filedir
            return
            ;;
        --baud)
            _deveder_cli_words 1200 4800 9600 19200 38400 57600 115200
            return
            ;;
        --lang)
            _deveder_cli_words zh en
            return
            ;;
        --trace | --root | --ports)
            _filedir
            return
            ;;
        --kind)
            _deveder_cli_words standard extended demo
            return
            ;;
    esac

    # The command is the first word that is neither an option nor its value.
    local i command= sub= page=
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --port | --ports | --baud | --reply-wait | --lang | --trace | --root | --kind) ((i++)) ;;
            -*) ;;
            *)
                if [[ -z $command ]]; then
                    command=${words[i]}
                elif [[ -z $sub ]]; then
                    sub=${words[i]}
                fi
                ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            _deveder_cli_words "${options[@]}"
        else
            _deveder_cli_words "${commands[@]}"
        fi
        return
    fi

    case $command in
        settings | wifi | bt)
            if [[ -z $sub ]]; then
                _deveder_cli_words read write
            elif [[ $sub == read ]]; then
                _deveder_cli_words --json --replies
            elif [[ $sub == write ]]; then
                compopt -o nospace
                _deveder_cli_offer = < <(deveder-cli names "$command" 2>/dev/null)
            fi
            ;;
        test)
            if [[ -z $sub ]]; then
                _deveder_cli_words testpage bluetooth demo hexdump raw mark calibrate factory-default
            elif [[ $sub == factory-default ]]; then
                _deveder_cli_words --yes
            fi
            ;;
        font)
            if [[ -z $sub ]]; then
                _deveder_cli_words download
            elif [[ $cur == -* ]]; then
                _deveder_cli_words --kind
            else
                _filedir
            fi
            ;;
        firmware)
            if [[ -z $sub ]]; then
                _deveder_cli_words download
            else
                _filedir
            fi
            ;;
        backup)
            _filedir
            ;;
        verify)
            _filedir json
            ;;
        restore)
            if [[ $cur == -* ]]; then
                _deveder_cli_words --with-identity
            else
                _filedir json
            fi
            ;;
        doctor)
            _deveder_cli_words --port --probe --json --root
            ;;
        names)
            [[ -z $sub ]] && _deveder_cli_words settings wifi bt
            ;;
    esac
} &&
    complete -F _deveder_cli deveder-cli
