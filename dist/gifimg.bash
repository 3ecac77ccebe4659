# Completion of gifimg's commands, their options and file arguments.
_gifimg()
{
    local cur prev words cword
    _init_completion || return

    local commands="info extract copy reduce"
    local common="-q --max-pixels --jobs --help"
    if [[ $cword -eq 1 ]]; then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi
    case $prev in
    --max-pixels | --jobs | --bits)
        return
        ;;
    --method)
        COMPREPLY=($(compgen -W "none system20 halftone gray4 bw gray256 netscape quantize quantize-system palette refined" -- "$cur"))
        return
        ;;
    --dither)
        COMPREPLY=($(compgen -W "nearest floyd-steinberg stucki sierra jajuni steve-arche burkes serpentine" -- "$cur"))
        return
        ;;
    --palette)
        _filedir
        return
        ;;
    esac
    if [[ $cur == -* ]]; then
        local options
        case ${words[1]} in
        info) options="--json" ;;
        extract) options="--raw --png" ;;
        copy) options="--rle" ;;
        reduce) options="--method --dither --bits --palette --psnr" ;;
        esac
        COMPREPLY=($(compgen -W "$options $common" -- "$cur"))
        return
    fi
    if [[ ${words[1]} == extract && $cword -eq 3 ]]; then
        _filedir -d
        return
    fi
    _filedir
}
complete -F _gifimg gifimg
