# bash completion for deveder-cli: commands, options, page variable names
# (asked of deveder-cli itself) and port paths.

_deveder_cli() {
    local cur prev words cword
    _init_completion || return

    local options="--port --serial --baud --lang --trace --all --help --version"
    local commands="ports probe settings wifi bt test font firmware backup restore verify doctor names"

    case $prev in
        --port)
            # The port walk's paths (USB, or serial with --serial), then device nodes.
            local serial=
            [[ " ${words[*]} " == *" --serial "* ]] && serial=--serial
            COMPREPLY=($(compgen -W "$(deveder-cli $serial ports 2>/dev/null)" -- "$cur"))
            [[ ${#COMPREPLY[@]} -eq 0 ]] && _filedir
            return
            ;;
        --baud)
            COMPREPLY=($(compgen -W "1200 4800 9600 19200 38400 57600 115200" -- "$cur"))
            return
            ;;
        --lang)
            COMPREPLY=($(compgen -W "zh en" -- "$cur"))
            return
            ;;
        --trace | --root)
            _filedir
            return
            ;;
        --kind)
            COMPREPLY=($(compgen -W "standard extended demo" -- "$cur"))
            return
            ;;
    esac

    # The command is the first word that is neither an option nor its value.
    local i command= sub= page=
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --port | --baud | --lang | --trace | --root | --kind) ((i++)) ;;
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
            COMPREPLY=($(compgen -W "$options" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi

    case $command in
        settings | wifi | bt)
            if [[ -z $sub ]]; then
                COMPREPLY=($(compgen -W "read write" -- "$cur"))
            elif [[ $sub == read ]]; then
                COMPREPLY=($(compgen -W "--json --replies" -- "$cur"))
            elif [[ $sub == write ]]; then
                local names
                names=$(deveder-cli names "$command" 2>/dev/null)
                compopt -o nospace
                COMPREPLY=($(compgen -W "$names" -S = -- "$cur"))
            fi
            ;;
        test)
            if [[ -z $sub ]]; then
                COMPREPLY=($(compgen -W "testpage bluetooth demo hexdump raw mark calibrate factory-default" -- "$cur"))
            elif [[ $sub == factory-default ]]; then
                COMPREPLY=($(compgen -W "--yes" -- "$cur"))
            fi
            ;;
        font)
            if [[ -z $sub ]]; then
                COMPREPLY=($(compgen -W "download" -- "$cur"))
            elif [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--kind" -- "$cur"))
            else
                _filedir
            fi
            ;;
        firmware)
            if [[ -z $sub ]]; then
                COMPREPLY=($(compgen -W "download" -- "$cur"))
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
                COMPREPLY=($(compgen -W "--with-identity" -- "$cur"))
            else
                _filedir json
            fi
            ;;
        doctor)
            COMPREPLY=($(compgen -W "--port --json --root" -- "$cur"))
            ;;
        names)
            [[ -z $sub ]] && COMPREPLY=($(compgen -W "settings wifi bt" -- "$cur"))
            ;;
    esac
} &&
    complete -F _deveder_cli deveder-cli
